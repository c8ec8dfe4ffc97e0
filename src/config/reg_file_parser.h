// The text of a registry export file, read into a MemoryRegistry.
#pragma once

#include <string>

#include "korvex/memory_registry.h"

namespace korvex {

// Parses the file's bytes: "Windows Registry Editor Version 5.00" text in
// UTF-16LE with a byte-order mark, or "REGEDIT4" text in the single-byte code
// page. Text is kept in the code page Windows-1257. On the first error returns
// false with "<fileName>:<line>: <what is wrong>" in `error`; `into` may then
// hold part of the file.
// Checks only the first line among the file's first bytes, so that a file
// that is no registry export is refused before it is read whole.
bool CheckRegExportHeader(std::string firstBytes, const std::string& fileName, std::string& error);

bool ParseRegExport(const std::string& bytes, const std::string& fileName, MemoryRegistry& into,
                    std::string& error);

}  // namespace korvex
