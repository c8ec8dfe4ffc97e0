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
// Falls back to DescribeBytes when the bytes are not shaped like a frame.
std::string DescribeFrame(const std::string& frame, CheckMode mode);

}  // namespace korvex::emu
