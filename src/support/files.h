// File helpers for the download: directory listing, partial reads, writes.
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

}  // namespace korvex
