// The transaction record: clearing it, storing C20 tag data into it and
// reading it back by key.
#include "transaction/trans_data.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <optional>

#include "support/conversions.h"
#include "transaction/value_reader.h"

namespace korvex {
namespace {

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

using TextMember = std::string TransData::*;

struct NamedField {
  const char* name;
  TextMember member;
};

// The tags whose values are kept as text, as the C20 tag lists write them.
constexpr NamedField kTextTags[] = {
    {"9F27", &TransData::CryptogramInfoData},
    {"8200", &TransData::ApplicationInterchangeProfile},
    {"9F34", &TransData::CvmResults},
    {"9F10", &TransData::IssuerApplicationData},
    {"9F26", &TransData::ApplicationCryptogram},
    {"9F33", &TransData::TerminalCapabilities},
    {"9F36", &TransData::ApplicationTransactionCounter},
    {"9F37", &TransData::UnpredictableNumber},
    {"5F2D", &TransData::LanguagePreference},
    {"FF51", &TransData::TagFF51Data},
    {"9500", &TransData::TerminalVerificationResults},
    {"9B00", &TransData::TransactionStatusInformation},
};

// The keys the host reads by (CSN, a number, is handled apart). The language
// preference is kept for the key labels only.
constexpr NamedField kHostKeys[] = {
    {"9F27", &TransData::CryptogramInfoData},
    {"82", &TransData::ApplicationInterchangeProfile},
    {"9F10", &TransData::IssuerApplicationData},
    {"9F26", &TransData::ApplicationCryptogram},
    {"9F33", &TransData::TerminalCapabilities},
    {"9F36", &TransData::ApplicationTransactionCounter},
    {"9F37", &TransData::UnpredictableNumber},
    {"AID", &TransData::ApplicationId},
    {"TRACK2", &TransData::Track2Data},
    {"PAN", &TransData::Pan},
    {"FF51", &TransData::TagFF51Data},
    {"EXPD", &TransData::ExpiryDate},
    {"9F34", &TransData::CvmResults},
    {"95", &TransData::TerminalVerificationResults},
    {"SIGNFLAG", &TransData::SignatureFlag},
    {"9B", &TransData::TransactionStatusInformation},
    {"AUTHRESP", &TransData::AuthResponseCode},
};

template <size_t N>
const NamedField* Find(const NamedField (&table)[N], const std::string& name) {
  const auto* it = std::ranges::find_if(table, [&](const NamedField& f) { return name == f.name; });
  return it == std::end(table) ? nullptr : it;
}

}  // namespace

void ClearTransData(TransData& data) {
  data.TransactionAmount = 0;
  data.CurrencyCode = 0;
  data.TransactionDateTime.clear();
}

bool ParseTagData(TransData& data, const std::string& TagList, const std::string& TagData) {
  if (TagList.size() < 2 || !IsDigits(TagList.substr(0, 2))) return false;
  const auto n = static_cast<size_t>(std::stoi(TagList.substr(0, 2)));
  if (n == 0 || TagList.size() != 4 * n + 2 || TagData.empty()) return false;

  ValueReader reader(TagData);
  for (size_t i = 0; i < n; ++i) {
    const std::optional<std::string> value = reader.Value();
    if (!value || !StoreTag(data, *value, TagList.substr(2 + 4 * i, 4))) return false;
  }
  return true;  // anything after the last item is not ours
}

bool StoreTag(TransData& data, const std::string& Value, const std::string& Tag) {
  const std::string tag = Upper(Tag);
  // The two numbers are BCD digits read as decimal (0233 is country 233); hex
  // letters would otherwise pass as exponents ("0D10" as 0).
  if (tag == "5F28") {
    int16_t country = 0;
    if (!IsDigits(Value) || !ToInteger(Value, country)) return false;
    data.IssuerCountryCode = country;
    return true;
  }
  if (tag == "5F34") {  // an unreadable sequence number counts as 0
    int16_t sequence = 0;
    if (!IsDigits(Value) || !ToInteger(Value, sequence)) sequence = 0;
    data.PanSequenceNumber = sequence;
    return true;
  }
  const NamedField* field = Find(kTextTags, tag);
  if (field == nullptr) return false;
  data.*(field->member) = Value;
  return true;
}

std::string getTag(const TransData& data, const std::string& Tag) {
  const std::string key = Upper(Tag);
  if (key == "CSN") return std::to_string(data.PanSequenceNumber);
  const NamedField* field = Find(kHostKeys, key);
  return field == nullptr ? std::string() : data.*(field->member);
}

}  // namespace korvex
