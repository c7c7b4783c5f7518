// The resources of a Windows resource-only DLL (PE32 or PE32+), as Windows
// tools build a page library: a tree of three levels, type, name and
// language, whose leaves locate the bytes of each resource in the file.
//
// The file comes from a medium nobody here controls: every offset, size and
// count is checked against the file before it is followed, the tree is read
// to its three levels and no deeper (a loop ends there), and the work is
// bounded by the file's size. A damaged file does not parse.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pages {

// The resource type of HTML pages: a one-part name in an address is a
// resource of this type.
inline constexpr std::uint32_t kHtmlResourceType = 23;

class PeResources {
 public:
  // A type or a name: a number (below 2^31), or, with kStringBit set, the
  // index of a string of the file.
  using Id = std::uint32_t;
  static constexpr Id kStringBit = 0x80000000u;

  struct Entry {
    Id type = 0;
    Id name = 0;
    std::uint32_t language = 0;  // 0 is the neutral language
    std::size_t offset = 0;      // of the resource's bytes in the file
    std::size_t size = 0;
  };

  // True when `bytes` begin as a PE file does (with the DOS header's "MZ"),
  // whatever follows.
  static bool LooksLikeDll(std::string_view bytes);

  // Reads the resource tree of `file`; nullopt with `error` set when the
  // file is no PE image with a resource table, or any part of the table is
  // damaged.
  static std::optional<PeResources> Parse(std::string file, std::string* error);

  // The resource a res: address names after its library: "NAME" is the
  // resource NAME of type 23 (HTML), "TYPE/NAME" the resource NAME of type
  // TYPE, and "#123" in either place the number 123. Names match without
  // regard to case (an exact match first); of several languages the
  // neutral one wins, else the first. nullptr when there is none.
  const Entry* Find(std::string_view address) const;

  // The bytes of `entry`, a view into the file this holds.
  std::string_view Data(const Entry& entry) const {
    return std::string_view(file_).substr(entry.offset, entry.size);
  }

  // "#123" for a number, else the string.
  std::string IdText(Id id) const;

  // The address of every resource an address can reach, each once, sorted:
  // "HTML_SAP" for type 23, "GIF/GIF_SELECTED" for others, "#123" for
  // numbers. Names that no address reaches (with a "/", a NUL, "." or "..",
  // longer than a file name, or hidden by another of the same address) are
  // left out.
  std::vector<std::string> Names() const;
  // The resources Names leaves out, each as its address would read
  // ("../x", "HTML/A/B"), sorted: a tool that takes the library apart names
  // them rather than losing them silently.
  std::vector<std::string> Unlisted() const;

  // Every leaf of the tree, in the file's order.
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  friend class ResourceTreeReader;
  // The candidates for one part of an address: a number, or the strings
  // equal to it (exact first, then equal without regard to case).
  std::vector<Id> Candidates(std::string_view part) const;
  // The addresses of the resources an address reaches, and of the others.
  void List(std::vector<std::string>* reached, std::vector<std::string>* unreached) const;

  std::string file_;
  std::vector<Entry> entries_;
  std::vector<std::string> strings_;                                     // the names of the file, UTF-8
  std::unordered_map<std::string, std::vector<std::uint32_t>> folded_;   // upper-cased string -> indices
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> pairs_;  // (type, name) -> entries
  std::vector<std::uint64_t> pair_order_;                                // each (type, name) once, in order
};

}  // namespace pages
