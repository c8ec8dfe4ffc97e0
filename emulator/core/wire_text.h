// Readable renderings of wire bytes for transcripts and test failures:
// control characters by name (<STX>, <FS>, <ACK>), other unprintable bytes
// as <0xNN>, and a frame's block check as <LRC 0xNN> or <CRC 0xNNNN>.
#pragma once

#include <string>

#include "emulator/core/check_mode.h"

namespace korvex::emu {

// Every byte rendered on its own; no frame structure is assumed.
std::string DescribeBytes(const std::string& bytes);

// A complete frame (STX, text, ETX and its check bytes) with the check named.
// A download data block shows its length, offset and data size instead of
// its data. Falls back to DescribeBytes when the bytes are not shaped like a
// frame.
std::string DescribeFrame(const std::string& frame, CheckMode mode);

// The bytes a transcript keeps of a unit: all of it, except that a data
// block keeps its head and check only (its data is in the received file).
std::string TranscriptBytes(const std::string& unit, CheckMode mode);

}  // namespace korvex::emu
