// The file transfer of download mode, in the order the loader takes it:
// group set-up, then per file the next-file message "C", its header and its
// data blocks, then the next-file message closing the list, the stack and
// heap settings and the closing command. Display texts may come at any point
// after the download request. Every frame is ACKed; one out of order or
// malformed is recorded and leaves the transfer as it was.
#include "emulator/messages/download_mode.h"
#include "emulator/messages/file_header.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"
#include "link/framing.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;
using Step = TransferStep;

const std::string kStack = std::string("L*STACK") + FS + "100";
const std::string kHeap = std::string("L*CPPHEAP") + FS + "80";
const std::string kClosing = std::string("S") + FS + "80";

// "W", length (2 bytes), offset (4 bytes), data; both numbers high byte first.
constexpr size_t kBlockHead = 7;

struct Block {
  uint32_t length = 0;
  uint32_t offset = 0;
};

Block ReadBlock(const std::string& text) {
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(text[i])); };
  return {byte(1) << 8 | byte(2), byte(3) << 24 | byte(4) << 16 | byte(5) << 8 | byte(6)};
}

std::string Progress(const DownloadTransfer& t) {
  return t.fileName + " has " + std::to_string(t.file.data.size()) + " of " +
         std::to_string(t.file.size) + " bytes";
}

std::string Where(const DownloadTransfer& t) {
  switch (t.step) {
    case Step::AwaitingEnq: return "before the download request";
    case Step::Requested: return "before the group set-up";
    case Step::GroupSet: return "after the group set-up";
    case Step::NextFile: return "after a next-file message";
    case Step::File: return "while " + Progress(t);
    case Step::Stack: return "after the stack setting";
    case Step::Heap: return "after the heap setting";
    case Step::Closed: return "after the closing command";
  }
  return "";
}

// The transfer's order: the steps each message is taken in (a file's step
// only once the file is complete, for the messages that leave it).
struct Order {
  const char* what;
  std::initializer_list<Step> from;
  bool fileComplete;
};

Check InOrder(PadServices& pad, const Order& o) {
  const DownloadTransfer& t = pad.Transfer();
  for (Step s : o.from) {
    if (s != t.step) continue;
    if (s == Step::File && o.fileComplete && !t.FileComplete()) break;
    return std::nullopt;
  }
  return Rejection{"", std::string(o.what) + " out of order, " + Where(t)};
}

const Order kGroupOrder{"group set-up", {Step::Requested}, false};
const Order kNextFileOrder{"next-file message", {Step::GroupSet, Step::File}, true};
const Order kHeaderOrder{"file header", {Step::NextFile}, false};
const Order kBlockOrder{"data block", {Step::File}, false};
const Order kStackOrder{"stack setting", {Step::NextFile}, false};
const Order kHeapOrder{"heap setting", {Step::Stack}, false};
const Order kClosingOrder{"closing command", {Step::Heap}, false};
const Order kDisplayOrder{"display text",
                          {Step::Requested, Step::GroupSet, Step::NextFile, Step::File, Step::Stack,
                           Step::Heap, Step::Closed},
                          false};

// Order first, then the exact text.
auto Exact(const Order& order, const std::string& text) {
  return [&order, text](const std::string& got, PadServices& pad) -> Check {
    if (auto problem = InOrder(pad, order)) return problem;
    return ExactText(text)(got, pad);
  };
}

auto Advance(Step to) {
  return [to](const std::string&, PadServices& pad) { pad.Transfer().step = to; };
}

Check CheckHeader(const std::string& text, PadServices& pad) {
  if (auto problem = InOrder(pad, kHeaderOrder)) return problem;
  auto parsed = ParseFileHeader(text);
  if (auto* problem = std::get_if<std::string>(&parsed)) return Rejection{"", *problem};
  const FileHeader& h = std::get<FileHeader>(parsed);
  const uint32_t room = pad.Config().download.maxFileBytes;
  if (h.size > room) {
    return Rejection{"", "file " + h.name + " of " + std::to_string(h.size) +
                             " bytes exceeds the pad's free memory of " + std::to_string(room) +
                             " bytes"};
  }
  return std::nullopt;
}

void TakeHeader(const std::string& text, PadServices& pad) {
  const FileHeader h = std::get<FileHeader>(ParseFileHeader(text));
  DownloadTransfer& t = pad.Transfer();
  t.step = Step::File;
  t.fileName = h.name;
  t.file = StoredFile{h.type, h.size, h.timestamp, ""};
  pad.Note("file " + h.name + ": " + std::to_string(h.size) + " bytes expected");
}

Check CheckBlock(const std::string& text, PadServices& pad) {
  if (auto problem = InOrder(pad, kBlockOrder)) return problem;
  const DownloadTransfer& t = pad.Transfer();
  const Block b = ReadBlock(text);
  if (b.length < 1 || b.length > t.blockLimit) {
    return Rejection{"", "data block of " + std::to_string(b.length) + " bytes; 1 to " +
                             std::to_string(t.blockLimit) + " taken"};
  }
  if (b.offset != t.file.data.size()) {
    return Rejection{"",
                     "data block at offset " + std::to_string(b.offset) + " while " + Progress(t)};
  }
  if (b.offset + b.length > t.file.size) {
    return Rejection{
        "", "data block of " + std::to_string(b.length) + " bytes beyond the end: " + Progress(t)};
  }
  return std::nullopt;
}

void TakeBlock(const std::string& text, PadServices& pad) {
  DownloadTransfer& t = pad.Transfer();
  t.file.data.append(text, kBlockHead, std::string::npos);
  if (t.FileComplete()) pad.Note("file " + t.fileName + " complete");
}

// A complete file leaves the step File for the transfer's received files.
void NextFile(const std::string&, PadServices& pad) {
  DownloadTransfer& t = pad.Transfer();
  if (t.step == Step::File) t.received[t.fileName] = std::move(t.file);
  t.step = Step::NextFile;
  t.fileName.clear();
  t.file = {};
}

Check CheckDisplay(const std::string&, PadServices& pad) {
  return InOrder(pad, kDisplayOrder);
}

void ShowDisplay(const std::string& text, PadServices& pad) {
  pad.Transfer().display = text.substr(1);
  pad.Note("display: " + pad.Transfer().display);
}

}  // namespace

void RegisterDownloadMessages(HandlerTable& table) {
  const PadApp d = PadApp::Download;
  table.Add({std::string(1, ENQ), d, nullptr, AnswerEnq, nullptr});
  table.Add({std::string(1, EOT), d, nullptr, EndDownload, nullptr});
  table.Add({kGroupSetup, d, Exact(kGroupOrder, kGroupSetup), Advance(Step::GroupSet), nullptr});
  table.Add({"C", d, Exact(kNextFileOrder, "C"), NextFile, nullptr});
  table.Add({"O", d, CheckHeader, TakeHeader, nullptr});
  table.Add({"W", d, CheckBlock, TakeBlock, nullptr});
  table.Add({"L*STACK", d, Exact(kStackOrder, kStack), Advance(Step::Stack), nullptr});
  table.Add({"L*CPPHEAP", d, Exact(kHeapOrder, kHeap), Advance(Step::Heap), nullptr});
  table.Add({"S", d, Exact(kClosingOrder, kClosing), Advance(Step::Closed), nullptr});
  table.Add({"M", d, CheckDisplay, ShowDisplay, nullptr});
}

}  // namespace korvex::emu
