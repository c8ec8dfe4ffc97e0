#include "support/file_lookup.h"
#include "support/windows_compat.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace korvex {

namespace {

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The entry of folder whose name equals name ignoring case; "" when none.
std::string FindEntry(const std::string& folder, const std::string& name) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return "";
  std::string best;
  while (const dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (EqualIgnoringCase(candidate, name) && (best.empty() || candidate < best)) {
      best = candidate;
    }
  }
  closedir(dir);
  return best;
}

}  // namespace

std::string NativePath(const std::string& path) {
  std::string out = path;
  std::replace(out.begin(), out.end(), '\\', '/');
  return out;
}

std::string ResolvePath(const std::string& path) {
  const std::string native = NativePath(path);
  if (native.empty() || (!kFileNamesIgnoreCase && Exists(native))) return native;

  // Rebuild component by component; "" and "." and ".." stay as written.
  std::string resolved = native[0] == '/' ? "/" : "";
  size_t from = native[0] == '/' ? 1 : 0;
  while (from <= native.size()) {
    size_t slash = native.find('/', from);
    if (slash == std::string::npos) slash = native.size();
    std::string part = native.substr(from, slash - from);
    const bool special = part.empty() || part == "." || part == "..";
    // Where case is ignored every part is looked up, to get the name on disk.
    if (!special && (kFileNamesIgnoreCase || !Exists(resolved + part))) {
      const std::string found = FindEntry(resolved, part);
      if (!found.empty()) part = found;
    }
    resolved += part;
    if (slash < native.size()) resolved += '/';
    from = slash + 1;
  }
  return resolved;
}

}  // namespace korvex
