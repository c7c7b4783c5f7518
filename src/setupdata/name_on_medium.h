// Names as the setup files write them and as the medium holds them. A
// medium made on Windows, where names do not depend on case, may hold a
// folder or file in another case than the files name it: `English,ENU`
// with a folder "enu", `ReleaseNotes=ReadMe.HTML` with "readme.html".
//
// The rule, for each part of a path: the entry of that very name; when
// there is none, the one entry of the folder whose name differs from it
// only in ASCII case. When several entries differ from it only in case and
// none is exact, the name stands for nothing: any pick among them would be
// a guess. Whatever finds a name on the medium (the launcher, its system
// adapter, the tools) goes through here.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace setupdata {

enum class NameMatch {
  kExact,      // every part by its own name
  kFolded,     // some part by the one entry that differs from it only in case
  kAmbiguous,  // a part has no entry of its own name, and several that differ only in case
  kMissing,    // a part has no entry in any case, or its folder cannot be read
};

struct FoundPath {
  NameMatch match = NameMatch::kMissing;
  // Found: the path as the medium spells it. Otherwise the parts found
  // before the one that stopped the search, each followed by "/".
  std::string path;
  // kAmbiguous: the entries that differ from the part only in case, sorted.
  std::vector<std::string> candidates;

  bool found() const { return match == NameMatch::kExact || match == NameMatch::kFolded; }
};

// The entries of one folder, read once, so that many names can be found in
// it without a file-system call each.
class FolderEntries {
 public:
  // The entries of `dir`; none when it cannot be read.
  explicit FolderEntries(const std::string& dir);
  // A plain name (no "/") among the entries, by the rule above.
  FoundPath Find(std::string_view name) const;
  // The entry is a directory, or a link to one.
  bool IsDirectory(const std::string& entry) const { return directories_.count(entry) > 0; }

 private:
  std::unordered_set<std::string> names_;
  std::unordered_set<std::string> directories_;
  // Entries by their upper-cased name, made when a name is first missed:
  // most names are found as they are written.
  mutable std::unordered_map<std::string, std::vector<std::string>> by_folded_;
  mutable bool folded_ = false;
};

// `relative` below the folder `dir`, part by part ("SQL/1033/readme.html");
// found only when the whole path exists. Empty parts, "." and ".." are
// taken as they stand.
FoundPath FindOnMedium(const std::string& dir, std::string_view relative);

}  // namespace setupdata
