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
const char* const kApplicationFiles[24] = {
    "Constant\\EMVAPP.out.p7s",
    "Constant\\EMVAPP.out",
    "Constant\\3DES.vso",
    "Constant\\3DES.vso.P7s",
    "Constant\\blacklistedcards.txt",
    "Constant\\Currency.dat",
    "Constant\\asc6x8.vft",
    "Constant\\asc6x8.vft.P7s",
    "Constant\\ext6x8.vft",
    "Constant\\ext6x8.vft.P7s",
    "Constant\\A000000004.CSN",
    "Constant\\A000000003.CSN",
    "Constant\\MVT.dat",
    "Constant\\EST.dat",
    "Constant\\emvg_cnf.dat",
    "Constant\\emvgmsg1.dat",
    "Constant\\emvgmsg2.dat",
    "Constant\\emvgmsg3.dat",
    "Constant\\emvgmsg4.dat",
    "Constant\\eclmsg1.dat",
    "Constant\\eclmsg2.dat",
    "Constant\\eclmsg3.dat",
    "Constant\\eclmsg4.dat",
    "Constant\\table.rec",
};
constexpr int kConstantEntries = 24;

// A key identifier names a file inside the key folder; it must not lead out
// of it.
bool UsableFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
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

bool Korvex::Impl::PrepareDownload(std::string& Failure) {
  RaiseDebugEvent(5, "Preparing download files...");
  dl.DownloadFiles.assign(1, "");  // no list of an earlier run survives a failure
  auto fail = [&Failure](const std::string& what) {
    Failure = "Download preparation failed: " + what;
    return false;
  };
  if (terminalObject == nullptr) return fail("no terminal object bound");

  CleanDownloadFolder();
  const std::string keyFolder = dl.DownloadPath + PinPadName + "\\";
  if (!FolderExists(keyFolder)) {
    std::string reason;
    if (CreateFolder(keyFolder, reason) != 0) {
      return fail("cannot create folder '" + NativePath(keyFolder) + "': " + reason);
    }
  }

  // The terminal object is the host's code: whatever it throws ends the
  // preparation as a failure of its own.
  try {
    const int16_t count = terminalObject->getERKCount();
    if (count < 0) return fail("getERKCount returned " + std::to_string(count));
    std::vector<std::string> names;
    for (int32_t i = 1; i <= count; ++i) {
      auto index = static_cast<int16_t>(i);
      const std::string id = terminalObject->getERKID(index);
      if (!UsableFileName(id)) {
        return fail("key " + std::to_string(i) + " has the unusable identifier '" + id + "'");
      }
      const std::string name = id + ".EMV";
      names.push_back(name);
      index = static_cast<int16_t>(i);
      const std::string data = BuildERKData(index);
      WriteFileBytes(keyFolder + name, data);  // a file that fails is skipped by the transfer
      RaiseDebugEvent(5, "Saving ERK: " + name);
    }

    const int16_t listed = terminalObject->getERKCount();
    if (listed != count) {
      return fail("key count changed from " + std::to_string(count) + " to " +
                  std::to_string(listed));
    }
    dl.DownloadFiles.assign(kConstantEntries + 1 + names.size(), "");
    if (EMVAppDetection) {
      for (int i = 0; i < kConstantEntries; ++i) dl.DownloadFiles[i + 1] = kApplicationFiles[i];
    }
    for (size_t i = 0; i < names.size(); ++i) {
      dl.DownloadFiles[kConstantEntries + 1 + i] = PinPadName + "\\" + names[i];
    }
  } catch (const std::exception& e) {
    dl.DownloadFiles.assign(1, "");
    return fail(std::string("terminal object error: ") + e.what());
  } catch (...) {
    dl.DownloadFiles.assign(1, "");
    return fail("terminal object error");
  }
  return true;
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
