// Paths of the download folder as the file system here sees them.
//
// The folder layout is written with "\" separators and found regardless of
// letter case, as on the platform it comes from. These helpers turn such a
// path into the path of what is on disk.
#pragma once

#include <string>

namespace korvex {

// The path with every "\" turned into "/".
std::string NativePath(const std::string& path);

// The native path of what exists on disk for path: the exact path when it
// exists; otherwise each component that does not exist as written is matched
// against its folder's entries ignoring letter case (the byte-wise smallest
// name wins among several case variants). Components without any match are
// kept as written, so the result then names nothing.
std::string ResolvePath(const std::string& path);

}  // namespace korvex
