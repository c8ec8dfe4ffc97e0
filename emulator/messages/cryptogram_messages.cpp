// First and second cryptogram. "C83" asks the card for its first
// cryptogram (before it, the blacklist path reads the TVR with "C20" and
// writes it back with "C21" tag 95); then issuer scripts arrive in "C25"
// blocks (all of tag 71 before any of 72), "C21" hands over the issuer
// authentication data (91) and the authorisation response code (8A), and
// "C84" asks for the second cryptogram, answered with one result per
// script.
#include <cctype>
#include <set>

#include "emulator/messages/card_cryptogram.h"
#include "emulator/messages/card_fields.h"
#include "emulator/messages/card_flow.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

using Check = std::optional<Rejection>;

// TVR byte 1, 0x10: the card is on the terminal exception file.
constexpr unsigned kExceptionFileBit = 0x10;
// TVR byte 5: a script failed before (71) / after (72) the final cryptogram.
constexpr unsigned kScriptFailedBefore = 0x20;
constexpr unsigned kScriptFailedAfter = 0x10;
// TSI byte 1: script processing performed.
constexpr unsigned kScriptsProcessed = 0x04;

std::string Upper(std::string hex) {
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return hex;
}

Rejection OutOfOrder(const std::string& why) {
  return Rejection{kStatusPreviousStep, why};
}

Check CheckFirstAc(const std::string& text, PadServices& pad) {
  if (text.size() != 4 || text[3] < '0' || text[3] > '2') {
    return Rejection{kStatusBadFormat, "first cryptogram is \"C83\" and a decision digit 0-2"};
  }
  if (auto refusal = StepRefusal("C83", pad)) return refusal;
  const CardSession& t = Txn(pad);
  if (t.tvrRead && !t.tvrWritten) {
    return OutOfOrder("first cryptogram after the TVR was read but before it was written back");
  }
  return std::nullopt;
}

void FirstAc(const std::string&, PadServices& pad) {
  CardProfile& card = pad.Pad().Profile();
  CardSession& t = Txn(pad);
  GenerateFirstAc(t, card, card.firstAc.cid);
  t.step = CardStep::FirstAc;
  pad.Reply("C8300" + LengthValue(card.firstAc.cid) + LengthValue(card.firstAc.arc));
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

Check CheckSecondAc(const std::string& text, PadServices& pad) {
  if (text.size() != 4 || text[3] < '0' || text[3] > '4') {
    return Rejection{kStatusBadFormat, "second cryptogram is \"C84\" and a decision digit 0-4"};
  }
  return StepRefusal("C84", pad);
}

// The decision: 0 approved online, 1 declined online, 2 and 3 approved and
// declined offline when the issuer could not be reached, 4 abandoned. A
// profile's own answer wins.
CryptogramAnswer SecondAnswer(char decision, const CardSession& t, const CardProfile& card) {
  CryptogramAnswer a;
  switch (decision) {
    case '0': a = {"40", t.issuerArc}; break;
    case '1': a = {"00", t.issuerArc}; break;
    case '2': a = {"40", "5933"}; break;  // "Y3"
    case '3': a = {"00", "5A33"}; break;  // "Z3"
    default: a = {"00", t.issuerArc}; break;
  }
  if (!card.secondAc.cid.empty()) a.cid = card.secondAc.cid;
  if (!card.secondAc.arc.empty()) a.arc = card.secondAc.arc;
  return a;
}

// One five-byte result per script: 0x20 done, 0x10 failed; no script
// identifier.
std::string ScriptResults(CardSession& t) {
  std::string results = PadNumber(t.scripts.size(), 2);
  for (const ScriptTransfer& s : t.scripts) {
    results += (s.failed ? "10" : "20") + std::string(8, '0');
    if (s.failed) {
      const unsigned bit = s.tag == "71" ? kScriptFailedBefore : kScriptFailedAfter;
      t.tags["9500"] = WithBits(t.tags["9500"], 4, bit);
    }
  }
  if (!t.scripts.empty()) t.tags["9B00"] = WithBits(t.tags["9B00"], 0, kScriptsProcessed);
  return results;
}

void SecondAc(const std::string& text, PadServices& pad) {
  CardSession& t = Txn(pad);
  const CryptogramAnswer a = SecondAnswer(text[3], t, pad.Pad().Profile());
  const std::string results = ScriptResults(t);
  GenerateSecondAc(t, pad.Pad().Profile(), a.cid);
  t.step = CardStep::SecondAc;
  pad.Reply("C8400" + LengthValue(a.cid) + LengthValue(a.arc) + results);
}

}  // namespace

void RegisterCryptogramMessages(HandlerTable& table) {
  table.Add({"C83", PadApp::Payment, CheckFirstAc, FirstAc, StatusReply("C83")});
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
  table.Add({"C84", PadApp::Payment, CheckSecondAc, SecondAc, StatusReply("C84")});
}

}  // namespace korvex::emu
