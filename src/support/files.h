// File helpers for the download: directory listing, partial reads, writes,
// file facts, folder test and creation, deletion.
//
// Paths may use "\" as separator and are looked up ignoring letter case when
// the exact path does not exist (support/file_lookup.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex {

// Entries matching the pattern (wildcards * and ? in its last part). names[0]
// is always "", the matches follow at 1..count.
int32_t ListFiles(const std::string& pattern, std::vector<std::string>& names);
// 0 ok, -1 "File not found", or an error number with its description.
int16_t ReadFilePart(const std::string& path, int32_t start, int32_t count, std::string& data,
                     std::string& errorText);
// Replaces the file with exactly data. 0 ok or an error number.
int16_t WriteFileBytes(const std::string& path, const std::string& data);

// An ordinary file (not a folder, device or hidden dot name) as found on disk.
struct FileFacts {
  std::string name;      // the name on disk, without its folder
  int64_t size = 0;      // bytes
  int64_t modified = 0;  // last modification, seconds since the epoch
};
// False when no ordinary file is found at path.
bool FindOrdinaryFile(const std::string& path, FileFacts& facts);

bool FolderExists(const std::string& path);
// 0, or an error number with its description in errorText.
int16_t CreateFolder(const std::string& path, std::string& errorText);
// Deletes an ordinary file; false when there is none or it cannot be deleted.
bool DeleteFile(const std::string& path);

// Joins folder and name with a backslash unless the folder ends in "\" or ":";
// an empty folder means the current directory.
std::string BuildPath(const std::string& folder, const std::string& name);

}  // namespace korvex
