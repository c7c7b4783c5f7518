#include "setupdata/name_on_medium.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "setupdata/text.h"

namespace setupdata {
namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

FolderEntries::FolderEntries(const std::string& dir) {
  DIR* handle = opendir(WithSlash(dir).c_str());
  if (handle == nullptr) return;
  while (const dirent* entry = readdir(handle)) {
    bool is_dir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      is_dir = fstatat(dirfd(handle), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    if (is_dir) directories_.insert(entry->d_name);
    names_.insert(entry->d_name);
  }
  closedir(handle);
}

FoundPath FolderEntries::Find(std::string_view name) const {
  FoundPath found;
  if (names_.count(std::string(name)) > 0) {
    found.match = NameMatch::kExact;
    found.path = std::string(name);
    return found;
  }
  if (!folded_) {
    for (const std::string& entry : names_) by_folded_[AsciiUpper(entry)].push_back(entry);
    folded_ = true;
  }
  const auto it = by_folded_.find(AsciiUpper(name));
  if (it == by_folded_.end()) return found;
  const std::vector<std::string>& entries = it->second;
  if (entries.size() == 1) {
    found.match = NameMatch::kFolded;
    found.path = entries.front();
  } else {
    found.match = NameMatch::kAmbiguous;
    found.candidates = entries;
    std::sort(found.candidates.begin(), found.candidates.end());
  }
  return found;
}

FoundPath FindOnMedium(const std::string& dir, std::string_view relative) {
  const std::string base = WithSlash(dir);
  FoundPath found;
  found.match = NameMatch::kExact;
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = relative.find('/', start);
    const std::string_view part =
        relative.substr(start, slash == std::string_view::npos ? slash : slash - start);
    std::string on_medium(part);
    // The exact name needs no listing of its folder.
    if (!Exists(base + found.path + on_medium)) {
      FoundPath in_folder = FolderEntries(base + found.path).Find(part);
      if (in_folder.match == NameMatch::kFolded && Exists(base + found.path + in_folder.path)) {
        on_medium = std::move(in_folder.path);
        found.match = NameMatch::kFolded;
      } else {
        // An exact entry that stat cannot follow (a dangling link) is missing too.
        found.match = in_folder.match == NameMatch::kAmbiguous ? NameMatch::kAmbiguous : NameMatch::kMissing;
        found.candidates = std::move(in_folder.candidates);
        return found;
      }
    }
    found.path += on_medium;
    if (slash == std::string_view::npos) return found;
    found.path += '/';
    start = slash + 1;
  }
}

}  // namespace setupdata
