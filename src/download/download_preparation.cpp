// Download preparation: the download folder, the list of files to send, the
// CA-key files the control writes itself, and the clean-up of the PIN pad's
// files of a previous download.
#include <exception>
#include <stdexcept>
#include <string>

#include "control/korvex_impl.h"
#include "support/file_lookup.h"
#include "support/files.h"

namespace korvex {

namespace {

// Entries 1 to 24 of the list, sent only while the payment application is
// missing. Spelled as the installation supplies them, case included.
// clang-format off
const char* const kApplicationFiles[24] = {
    "Constant\\EMVAPP.out.p7s", "Constant\\EMVAPP.out", "Constant\\3DES.vso",
    "Constant\\3DES.vso.P7s", "Constant\\blacklistedcards.txt", "Constant\\Currency.dat",
    "Constant\\asc6x8.vft", "Constant\\asc6x8.vft.P7s", "Constant\\ext6x8.vft",
    "Constant\\ext6x8.vft.P7s", "Constant\\A000000004.CSN", "Constant\\A000000003.CSN",
    "Constant\\MVT.dat", "Constant\\EST.dat", "Constant\\emvg_cnf.dat", "Constant\\emvgmsg1.dat",
    "Constant\\emvgmsg2.dat", "Constant\\emvgmsg3.dat", "Constant\\emvgmsg4.dat",
    "Constant\\eclmsg1.dat", "Constant\\eclmsg2.dat", "Constant\\eclmsg3.dat",
    "Constant\\eclmsg4.dat", "Constant\\table.rec",
};
// clang-format on
constexpr int kConstantEntries = 24;

// A key identifier names a file inside the key folder; it must not lead out
// of it.
bool UsableFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

// What keeps the preparation from going on, said in a few words.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void MakeFolder(const std::string& folder) {
  std::string reason;
  if (!FolderExists(folder) && CreateFolder(folder, reason) != 0) {
    throw Refusal("cannot create folder '" + NativePath(folder) + "': " + reason);
  }
}

}  // namespace

void Korvex::SetDownloadPath(const std::string& Value) {
  impl_->SetDownloadPath(Value);
}

void Korvex::PrepareDownload() {
  std::string failure;
  if (!impl_->PrepareDownload(failure)) impl_->RaiseInterfaceEvent(1, 44, failure);
}

void Korvex::setDownloadObserver(DownloadObserver* Observer) {
  impl_->downloadObserver = Observer;
}

// Paths below the folder are appended to it, so it must end with a separator.
void Korvex::Impl::SetDownloadPath(const std::string& Value) {
  dl.DownloadPath = Value;
  if (!Value.empty() && Value.back() != '\\' && Value.back() != '/') dl.DownloadPath += '\\';
}

// The terminal object is the host's code: whatever it throws ends the
// preparation as a failure of its own.
bool Korvex::Impl::PrepareDownload(std::string& Failure) {
  RaiseDebugEvent(5, "Preparing download files...");
  dl.DownloadFiles.assign(1, "");  // no list of an earlier run survives a failure
  const std::string prefix = "Download preparation failed: ";
  try {
    if (terminalObject == nullptr) throw Refusal("no terminal object bound");
    CleanDownloadFolder();
    const std::string keyFolder = dl.DownloadPath + PinPadName + "\\";
    MakeFolder(keyFolder);
    ListDownloadFiles(WriteKeyFiles(keyFolder));
    return true;
  } catch (const Refusal& e) {
    Failure = prefix + e.what();
  } catch (const std::exception& e) {
    Failure = prefix + "terminal object error: " + e.what();
  } catch (...) {
    Failure = prefix + "terminal object error";
  }
  dl.DownloadFiles.assign(1, "");
  return false;
}

// One file per CA key, named after its identifier; the names in key order.
std::vector<std::string> Korvex::Impl::WriteKeyFiles(const std::string& KeyFolder) {
  const int16_t count = terminalObject->getERKCount();
  if (count < 0) throw Refusal("getERKCount returned " + std::to_string(count));
  std::vector<std::string> names;
  for (int32_t i = 1; i <= count; ++i) {
    auto index = static_cast<int16_t>(i);
    const std::string id = terminalObject->getERKID(index);
    if (!UsableFileName(id)) {
      throw Refusal("key " + std::to_string(i) + " has the unusable identifier '" + id + "'");
    }
    names.push_back(id + ".EMV");
    index = static_cast<int16_t>(i);
    // A file that cannot be written is skipped by the transfer.
    WriteFileBytes(KeyFolder + names.back(), BuildERKData(index));
    RaiseDebugEvent(5, "Saving ERK: " + names.back());
  }
  return names;
}

// The application files while the payment application is missing, then the
// key files; the list is sized by the terminal object's key count.
void Korvex::Impl::ListDownloadFiles(const std::vector<std::string>& KeyFiles) {
  const int16_t count = terminalObject->getERKCount();
  if (count != static_cast<int32_t>(KeyFiles.size())) {
    throw Refusal("key count changed from " + std::to_string(KeyFiles.size()) + " to " +
                  std::to_string(count));
  }
  dl.DownloadFiles.assign(kConstantEntries + 1 + KeyFiles.size(), "");
  if (EMVAppDetection) {
    for (int i = 0; i < kConstantEntries; ++i) dl.DownloadFiles[i + 1] = kApplicationFiles[i];
  }
  for (size_t i = 0; i < KeyFiles.size(); ++i) {
    dl.DownloadFiles[kConstantEntries + 1 + i] = PinPadName + "\\" + KeyFiles[i];
  }
}

// Nothing is reported: a file that cannot be deleted stays.
void Korvex::Impl::CleanDownloadFolder() {
  const std::string base = dl.DownloadPath + PinPadName;
  DeleteFile(base + ".bat");
  DeleteFile(base + ".dld");
  std::vector<std::string> names;
  const int32_t count = ListFiles(base + "\\*.EMV", names);
  for (int32_t i = 1; i <= count; ++i) DeleteFile(base + "\\" + names[i]);
}

}  // namespace korvex
