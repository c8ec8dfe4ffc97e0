// The end of download mode. The control's EOT closes the transfer: complete
// files replace those of the same name, an incomplete one is lost, and a
// payment application that came with the download is installed. The pad then
// runs its loader again at 19200 baud, where "L0302" starts what was
// installed.
#include <algorithm>
#include <cctype>
#include <utility>

#include "emulator/messages/download_mode.h"
#include "emulator/messages/message_checks.h"

namespace korvex::emu {
namespace {

const std::string kPaymentFile = "emvapp.out";
const std::string kPaymentMagic = "KORVEX-EMVAPP\n";

bool SameName(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The payment application is a file EMVAPP.out of type "OC" whose first line
// is the magic line; its second line, when there is one, is its version.
void InstallPayment(const std::map<std::string, StoredFile>& received, PadServices& pad) {
  const auto app = std::find_if(received.begin(), received.end(),
                                [](const auto& f) { return SameName(f.first, kPaymentFile); });
  const std::string before =
      pad.Pad().PaymentInstalled() ? "payment application unchanged" : "no payment application";
  if (app == received.end()) {
    pad.Note("no EMVAPP.out in the download: " + before);
    return;
  }
  const StoredFile& file = app->second;
  if (file.type != "OC") {
    pad.Note(app->first + " came as type " + file.type + ", not OC: " + before);
    return;
  }
  if (!file.data.starts_with(kPaymentMagic)) {
    pad.Note(app->first + " does not start with the line \"KORVEX-EMVAPP\": " + before);
    return;
  }
  const size_t end = file.data.find('\n', kPaymentMagic.size());
  const std::string version =
      file.data.substr(kPaymentMagic.size(),
                       end == std::string::npos ? std::string::npos : end - kPaymentMagic.size());
  pad.Pad().InstallPayment(version);
  pad.Note("payment application installed from " + app->first +
           (version.empty() ? "" : " (" + version + ")"));
}

}  // namespace

void EndDownload(const std::string& text, PadServices& pad) {
  DownloadTransfer t = std::exchange(pad.Transfer(), DownloadTransfer{});
  if (t.step != TransferStep::Closed) {
    pad.AddViolation(text, "download ended by EOT before the closing command");
  }
  if (t.step == TransferStep::File && !t.FileComplete()) {
    pad.Note("incomplete file " + t.fileName + " discarded");
  } else if (t.step == TransferStep::File) {
    t.received[t.fileName] = std::move(t.file);
  }
  for (auto& [name, file] : t.received) {
    pad.Note("file stored: " + name + " (" + file.type + ", " + std::to_string(file.size) +
             " bytes, " + file.timestamp + ")");
  }
  InstallPayment(t.received, pad);
  for (auto& [name, file] : t.received) pad.Pad().StoreFile(name, std::move(file));
  SwitchApp(pad, PadApp::Loader);
}

}  // namespace korvex::emu
