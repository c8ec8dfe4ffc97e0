// What the system tells about the library's own file and the machine, for
// the error log.
#pragma once

#include <string>

namespace korvex {

// The file the control library was loaded from, as the system names it; its
// usual name when the system cannot tell.
std::string OwnLibraryFile();

// The computer's name, asked for with a buffer of `bufferSize` characters;
// "" when the system gives none or a longer one.
std::string ComputerName(size_t bufferSize);

}  // namespace korvex
