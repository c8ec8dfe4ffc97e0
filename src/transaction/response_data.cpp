// The fields of the PIN pad's transaction replies (C00, C01, C02, C83, C84),
// read left to right from position 7 and stored as they are read. A reply cut
// short or with a length that is not a number stops the reading there: the
// fields read so far stay stored, later ones keep their previous values.
#include <optional>
#include <string>

#include "link/framing.h"
#include "support/emv_common.h"
#include "transaction/trans_data.h"
#include "transaction/value_reader.h"

namespace korvex {
namespace {

// Skips n values; false when one of them cannot be read.
bool Skip(ValueReader& reader, int n) {
  for (int i = 0; i < n; ++i) {
    if (!reader.Value()) return false;
  }
  return true;
}

// Value 1 is the selected application; values 2 and 3 are not kept.
void ReadC00(TransData& data, ValueReader& reader) {
  if (auto aid = reader.Value()) data.ApplicationId = *aid;
}

// Application, four values not kept, track 2, PAN, expiry date; the ninth
// value and a final character are not kept.
void ReadC01(TransData& data, ValueReader& reader) {
  const std::optional<std::string> aid = reader.Value();
  if (!aid) return;
  if (!aid->empty()) data.ApplicationId = *aid;  // an empty one keeps C00's
  if (!Skip(reader, 4)) return;
  const std::optional<std::string> track2 = reader.Value();
  if (!track2) return;
  data.Track2Data = CleanTrack2(*track2);
  const std::optional<std::string> pan = reader.Value();
  if (!pan) return;
  data.Pan = pan->substr(0, pan->find_first_of("Ff"));  // without its padding
  if (auto expiry = reader.Value()) data.ExpiryDate = *expiry;
}

// Signature flag (one character), TVR, TSI.
void ReadC02(TransData& data, ValueReader& reader) {
  const std::optional<std::string> flag = reader.Take(1);
  if (!flag) return;
  data.SignatureFlag = *flag;
  const std::optional<std::string> tvr = reader.Value();
  if (!tvr) return;
  data.TerminalVerificationResults = *tvr;
  if (auto tsi = reader.Value()) data.TransactionStatusInformation = *tsi;
}

// Cryptogram information data and authorisation response code; both replies
// of the cryptograms start with them.
bool ReadCryptogramResult(TransData& data, ValueReader& reader) {
  const std::optional<std::string> cid = reader.Value();
  if (!cid) return false;
  data.CryptogramInfoData = *cid;
  const std::optional<std::string> arc = reader.Value();
  if (!arc) return false;
  data.AuthResponseCode = *arc;
  return true;
}

// After the two values of C83: two digits k, then k entries of five bytes.
void ReadC84(TransData& data, ValueReader& reader) {
  if (!ReadCryptogramResult(data, reader)) return;
  const std::optional<std::string> count = reader.Take(2);
  if (!count || !IsDigits(*count)) return;
  if (auto entries = reader.Take(10 * static_cast<size_t>(std::stoi(*count)))) {
    data.TagFF51Data = *entries;
  }
}

}  // namespace

void ParseResponseData(TransData& data, const std::string& Message) {
  if (MessageResult(Message) != "00") return;
  const std::string code = MessageCode(Message);
  const std::string fields = MessageData(Message);
  ValueReader reader(fields);
  if (code == "C00") ReadC00(data, reader);
  if (code == "C01") ReadC01(data, reader);
  if (code == "C02") ReadC02(data, reader);
  if (code == "C83") ReadCryptogramResult(data, reader);
  if (code == "C84") ReadC84(data, reader);
}

}  // namespace korvex
