// The loader's download mode, after "L0202": the control reconnects at
// 115200 baud with CRC-16 frames and prompts with ENQ; the pad answers with
// its download request, takes the files, and the control's EOT ends the mode.
#pragma once

#include <cstdint>
#include <string>

#include "emulator/core/pad_services.h"

namespace korvex::emu {

inline constexpr int64_t kDefaultBlockSize = 248;

// "VFI" and seven comma-separated fields describing the pad; the eighth
// field is the block size asked for.
std::string DownloadRequestText(const DownloadSettings& settings);
// The longest block the pad takes after asking for `advertised`: the asked
// size when it is 1..65535, else the default.
int64_t AcceptedBlockSize(int64_t advertised);

// ENQ: the n-th of the connection is answered with the download request.
void AnswerEnq(const std::string& text, PadServices& pad);
// EOT: the transfer ends; the complete files are stored, a received payment
// application installed, and the pad returns to its loader.
void EndDownload(const std::string& text, PadServices& pad);

}  // namespace korvex::emu
