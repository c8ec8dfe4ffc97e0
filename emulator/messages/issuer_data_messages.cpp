// Data handed to the card around the first cryptogram. "C21" writes tags:
// before the first cryptogram the blacklist path writes back the TVR it
// read with the exception-file bit set; after it, the issuer authentication
// data (91) and the authorisation response code (8A). "C25" carries the
// issuer scripts in blocks: per tag one script, a whole block or a first
// block of 240 bytes and exactly one continuation, all of 71 before 72.
#include <cctype>
#include <set>

#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

// TVR byte 1, 0x10: the card is on the terminal exception file.
constexpr unsigned kExceptionFileBit = 0x10;

std::string Upper(std::string hex) {
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return hex;
}

Rejection OutOfOrder(const std::string& why) {
  return Rejection{kStatusPreviousStep, why};
}

// Before the first cryptogram only the TVR of the blacklist path: the TVR
// read, with the exception-file bit set.
Check CheckTvrWrite(const std::vector<TagWrite>& writes, const CardSession& t) {
  if (!t.tvrRead) return OutOfOrder("TVR written before it was read");
  const TagWrite& w = writes.front();
  if (writes.size() != 1 || w.tag != "9500") {
    return OutOfOrder("before the first cryptogram only tag 95 is written");
  }
  const auto read = t.tags.find("9500");
  if (read == t.tags.end() || Upper(w.value) != WithBits(read->second, 0, kExceptionFileBit)) {
    return Rejection{kStatusBadFormat,
                     "TVR written is not the TVR read with the exception-file bit set"};
  }
  return std::nullopt;
}

// After the first cryptogram: tags 91 (up to 16 bytes) and 8A (2 bytes),
// once the scripts are complete.
Check CheckIssuerData(const std::vector<TagWrite>& writes, const CardSession& t) {
  if (!t.scripts.empty() && t.scripts.back().continuationOwed) {
    return OutOfOrder("issuer data before the continuation of script " + t.scripts.back().tag);
  }
  std::set<std::string> seen;
  for (const TagWrite& w : writes) {
    if (w.tag != "9100" && w.tag != "8A00") {
      return OutOfOrder("after the first cryptogram only tags 91 and 8A are written");
    }
    if (!seen.insert(w.tag).second) return Rejection{kStatusBadFormat, "tag " + w.tag + " twice"};
    if (w.tag == "8A00" && w.value.size() != 4) {
      return Rejection{kStatusBadFormat, "authorisation response code (8A) is 2 bytes"};
    }
    if (w.tag == "9100" && w.value.size() > 32) {
      return Rejection{kStatusBadFormat, "issuer authentication data (91) is at most 16 bytes"};
    }
  }
  return std::nullopt;
}

Check CheckTagWrite(const std::string& text, PadServices& pad) {
  auto parsed = ParseTagWrites(text.substr(3));
  if (auto* rejection = std::get_if<Rejection>(&parsed)) return *rejection;
  if (auto refusal = StepRefusal("C21", pad)) return refusal;
  const auto& writes = std::get<std::vector<TagWrite>>(parsed);
  const CardSession& t = Txn(pad);
  return t.step == CardStep::PinDone ? CheckTvrWrite(writes, t) : CheckIssuerData(writes, t);
}

void WriteTags(const std::string& text, PadServices& pad) {
  CardSession& t = Txn(pad);
  const auto writes = std::get<std::vector<TagWrite>>(ParseTagWrites(text.substr(3)));
  for (const TagWrite& w : writes) {
    if (w.tag == "9500") t.tags["9500"] = Upper(w.value);
    if (w.tag == "9100") t.issuerAuthData = w.value;
    if (w.tag == "8A00") t.issuerArc = w.value;
  }
  if (t.step == CardStep::PinDone) {
    t.tvrWritten = true;
  } else {
    t.step = CardStep::IssuerDataSet;
  }
  pad.Reply("C2100");
}

Check CheckScriptOrder(const ScriptBlock& b, const CardSession& t) {
  if (!t.scripts.empty() && t.scripts.back().continuationOwed) {
    if (b.continuation && b.tag == t.scripts.back().tag) return std::nullopt;
    return OutOfOrder("the continuation of script " + t.scripts.back().tag + " must come next");
  }
  if (b.continuation) return OutOfOrder("continuation of script " + b.tag + " without its start");
  for (const ScriptTransfer& s : t.scripts) {
    if (s.tag == b.tag) return OutOfOrder("a second script " + b.tag);
    if (s.tag == "72") return OutOfOrder("script 71 after script 72");
  }
  return std::nullopt;
}

Check CheckScript(const std::string& text, PadServices& pad) {
  auto parsed = ParseScriptBlock(text);
  if (auto* rejection = std::get_if<Rejection>(&parsed)) return *rejection;
  if (auto refusal = StepRefusal("C25", pad)) return refusal;
  return CheckScriptOrder(std::get<ScriptBlock>(parsed), Txn(pad));
}

void RecordScript(const std::string& text, bool failed, PadServices& pad) {
  const ScriptBlock b = std::get<ScriptBlock>(ParseScriptBlock(text));
  auto& scripts = Txn(pad).scripts;
  if (b.continuation) {
    scripts.back().continuationOwed = false;
    scripts.back().failed = scripts.back().failed || failed;
  } else {
    scripts.push_back({b.tag, b.kind == "81", failed});
  }
}

}  // namespace

void RegisterIssuerDataMessages(HandlerTable& table) {
  table.Add({"C21", PadApp::Payment, CheckTagWrite, WriteTags, StatusReply("C21")});
  table.Add({"C25", PadApp::Payment, CheckScript,
             [](const std::string& text, PadServices& pad) {
               RecordScript(text, false, pad);
               pad.Reply("C2500");
             },
             StatusReply("C25"),
             [](const std::string& text, const std::string&, PadServices& pad) {
               RecordScript(text, true, pad);
             }});
}

}  // namespace korvex::emu
