// The download request. The loader describes itself (model, serial number,
// loader and boot versions, free memory in KiB, line rate) and asks for the
// block size it wants; the control reads only the block size.
#include "emulator/messages/download_mode.h"

namespace korvex::emu {

std::string DownloadRequestText(const DownloadSettings& settings) {
  return "VFI,KVX-P20,KX20-004711,LDR-3.20,BOOT-1.07," +
         std::to_string(settings.maxFileBytes / 1024) + "," + std::to_string(kDownloadBaud) + "," +
         std::to_string(settings.blockSize);
}

int64_t AcceptedBlockSize(int64_t advertised) {
  return advertised >= 1 && advertised <= 65535 ? advertised : kDefaultBlockSize;
}

void AnswerEnq(const std::string&, PadServices& pad) {
  DownloadTransfer& t = pad.Transfer();
  if (t.step != TransferStep::AwaitingEnq) {
    pad.Note("ENQ after the download request: ignored");
    return;
  }
  const DownloadSettings& settings = pad.Config().download;
  ++t.enqs;
  if (settings.enqAnswerAfter <= 0 || t.enqs < settings.enqAnswerAfter) {
    pad.Note("ENQ " + std::to_string(t.enqs) + " not answered");
    return;
  }
  t.step = TransferStep::Requested;
  t.blockLimit = AcceptedBlockSize(settings.blockSize);
  pad.Note("download requested; blocks of up to " + std::to_string(t.blockLimit) + " bytes taken");
  pad.Reply(DownloadRequestText(settings));
}

}  // namespace korvex::emu
