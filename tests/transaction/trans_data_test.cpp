// The transaction record: tag data from C20 replies, the five reply layouts,
// reading values back by key; and amounts as the PIN pad gets them.
#include "transaction/trans_data.h"

#include <gtest/gtest.h>

#include "transaction/amounts.h"

#include "harness/scripted_peer.h"

namespace korvex {
namespace {

using testing::WithLrc;

// A value as the PIN pad writes it: three digits of byte count, then the hex.
std::string V(const std::string& hex) {
  return std::string(3 - std::to_string(hex.size() / 2).size(), '0') +
         std::to_string(hex.size() / 2) + hex;
}

TEST(TagData, ListsAndItems) {
  const std::string card = kCardDataTags;  // 5F28, 5F34, 82, 9F33, 5F2D
  // List, data, result, then country, sequence number, AIP, TVR and
  // capabilities as stored afterwards (the record starts with sentinels).
  const std::tuple<std::string, std::string, bool, int16_t, int16_t, std::string, std::string,
                   std::string>
      rows[] = {
          {"019500", "005" + std::string("8000048000") + "XYZ", true, 9, 9, "-", "8000048000",
           "-"},  // what follows the last item is ignored
          {"01950", "0058000048000", false, 9, 9, "-", "-", "-"},  // length not 2 + 4n
          {"00", "005", false, 9, 9, "-", "-", "-"},
          {"019500", "", false, 9, 9, "-", "-", "-"},
          {"0x9500", "0058000048000", false, 9, 9, "-", "-", "-"},
          {card, V("0233") + V("01") + V("5800") + V("E0F8C8") + V("6574"), true, 233, 1, "5800",
           "-", "E0F8C8"},
          {card, V("0A33") + V("01"), false, 9, 9, "-", "-", "-"},  // fails at once
          // An unreadable sequence number is 0 and the parse goes on.
          {card, V("0250") + V("0F") + V("1900") + V("E0") + V("656E"), true, 250, 0, "1900", "-",
           "E0"},
          // Data ends after the third of five items: the three stay stored.
          {card, V("0233") + V("02") + V("5800"), false, 233, 2, "5800", "-", "-"},
          {card, V("0233") + V("02") + "002AB", false, 233, 2, "-", "-", "-"},  // value cut short
          {card, V("0233") + "-01" + "AB", false, 233, 9, "-", "-", "-"},       // length not digits
          // Tags are read in any case; an empty number is not one.
          {"025f289f33", V("0978") + V("E0"), true, 978, 9, "-", "-", "E0"},
          {"015F28", V(""), false, 9, 9, "-", "-", "-"},
          // A tag the record does not keep fails there, after the ones before.
          {"0295009F02", V("0000008000") + V("000000001000"), false, 9, 9, "-", "0000008000", "-"},
      };
  for (const auto& [list, data, ok, country, csn, aip, tvr, caps] : rows) {
    SCOPED_TRACE(list + " / " + data);
    TransData record;
    record.IssuerCountryCode = 9;
    record.PanSequenceNumber = 9;
    record.ApplicationInterchangeProfile = record.TerminalVerificationResults =
        record.TerminalCapabilities = "-";
    EXPECT_EQ(ParseTagData(record, list, data), ok);
    EXPECT_EQ(record.IssuerCountryCode, country);
    EXPECT_EQ(record.PanSequenceNumber, csn);
    EXPECT_EQ(record.ApplicationInterchangeProfile, aip);
    EXPECT_EQ(record.TerminalVerificationResults, tvr);
    EXPECT_EQ(record.TerminalCapabilities, caps);
  }
}

TEST(ResponseData, Layouts) {
  const std::string ff51 = "0102030405A1A2A3A4A5";
  // Reply text, then the fields it leaves, joined by "|": AID, track 2, PAN,
  // expiry, sign flag, TVR, TSI, CID, ARC, FF51. They all start as "-".
  const std::pair<std::string, std::string> rows[] = {
      {"C0000" + V("A0000000031010") + V("01") + V("02"), "A0000000031010|-|-|-|-|-|-|-|-|-"},
      {"C0001" + V("A0000000031010"), "-|-|-|-|-|-|-|-|-|-"},  // failure status: nothing
      {"C0100" + V("A0000000041010") + V("01") + V("02") + V("03") + V("04") +
           V("B4761739001010010D22122011143804400000F0") + V("4761739001010010FFFF") + V("221231") +
           V("05") + "Z",
       "A0000000041010|4761739001010010=22122011143804400000|4761739001010010|221231|-|-|-|-|-|-"},
      // An empty application keeps C00's; a PAN without padding is kept whole.
      {"C0100" + V("") + V("01") + V("02") + V("03") + V("04") + V("12D34F") + V("5413") +
           V("2512") + V("05") + "Z",
       "-|12=34|5413|2512|-|-|-|-|-|-"},
      // A length that is not a number stops the reading; what came before stays.
      {"C0100" + V("A0000000041010") + V("01") + "0x2" + V("03"),
       "A0000000041010|-|-|-|-|-|-|-|-|-"},
      // The message ends early: the value cut short is not stored.
      {"C0100" + V("AA") + V("01") + V("02") + V("03") + V("04") + V("12D34F") + "0085413",
       "AA|12=34|-|-|-|-|-|-|-|-"},
      {"C02001" + V("0000008000") + V("E800"), "-|-|-|-|1|0000008000|E800|-|-|-"},
      {"C02000" + V("0000008000"), "-|-|-|-|0|0000008000|-|-|-|-"},
      {"C0200", "-|-|-|-|-|-|-|-|-|-"},
      {"C8300" + V("80") + V("3030"), "-|-|-|-|-|-|-|80|3030|-"},
      // One byte short: the frame's ETX and check byte are not taken for it.
      {"C8300" + V("80") + "00230", "-|-|-|-|-|-|-|80|-|-"},
      {"C8400" + V("40") + V("3035") + "02" + ff51, "-|-|-|-|-|-|-|40|3035|" + ff51},
      {"C8400" + V("40") + V("3035") + "03" + ff51, "-|-|-|-|-|-|-|40|3035|-"},  // entry short
      {"C9900" + V("40") + V("3035"), "-|-|-|-|-|-|-|-|-|-"},
  };
  for (const auto& [text, want] : rows) {
    SCOPED_TRACE(text);
    TransData r;
    const std::vector<std::string*> fields({&r.ApplicationId, &r.Track2Data, &r.Pan, &r.ExpiryDate,
                                            &r.SignatureFlag, &r.TerminalVerificationResults,
                                            &r.TransactionStatusInformation, &r.CryptogramInfoData,
                                            &r.AuthResponseCode, &r.TagFF51Data});
    for (std::string* f : fields) *f = "-";
    // As the dispatcher hands it on: framed, with a check byte that may be ETX.
    ParseResponseData(r, WithLrc(text));
    std::string got;
    for (std::string* f : fields) got += (got.empty() ? "" : "|") + *f;
    EXPECT_EQ(got, want);
  }
}

// Upper-case keys are read in the purchase flows.
TEST(TagQuery, KeysAreCaseInsensitiveAndUnknownOnesEmpty) {
  TransData r;
  r.ApplicationId = "A0000000031010";
  r.PanSequenceNumber = 7;
  r.ApplicationInterchangeProfile = "5800";
  r.TerminalVerificationResults = "8000048000";
  r.IssuerCountryCode = 233;
  r.LanguagePreference = "6574";
  EXPECT_EQ(getTag(r, "Aid"), "A0000000031010");
  EXPECT_EQ(getTag(r, "csn"), "7");
  EXPECT_EQ(getTag(r, "82"), "5800");
  // The tag-list spellings, the country, the language and unknown keys give "".
  for (const char* key : {"8200", "9500", "5F28", "5F2D", "", "TRACK2 "})
    EXPECT_EQ(getTag(r, key), "") << key;

  r.TransactionAmount = 1.5;
  r.CurrencyCode = 978;
  r.TransactionDateTime = "260304101500";
  ClearTransData(r);  // a new transaction clears only what the host gives
  EXPECT_EQ(r.TransactionAmount, 0);
  EXPECT_EQ(r.CurrencyCode, 0);
  EXPECT_EQ(r.TransactionDateTime, "");
  EXPECT_EQ(getTag(r, "AID"), "A0000000031010");
}

// Minor units rounded half to even for the chip application (C00, C010),
// half away from zero on the confirmation screen (C26).
TEST(Amounts, MinorUnitFieldAndConfirmationText) {
  // Amount, C00/C010 field, C26 text for currency 233 and for 978.
  const std::tuple<double, const char*, const char*, const char*> rows[] = {
      {1.25, "000000000125", "1.25 EEK        ", "1.25            "},
      {0.125, "000000000012", "0.13 EEK        ", "0.13            "},  // the two differ
      {0.375, "000000000038", "0.38 EEK        ", "0.38            "},
      {0.025, "000000000002", "0.03 EEK        ", "0.03            "},
      {0.05, "000000000005", "0.05 EEK        ", "0.05            "},
      {0, "000000000000", "0.00 EEK        ", "0.00            "},
      {-1.5, "000000000150", "-1.50 EEK       ", "-1.50           "},  // no sign in C00
      {12345678901234.56, "567890123456", "12345678901234.5", "12345678901234.5"},
      {1e20, "000000000000", "1000000000000000", "1000000000000000"},  // beyond 64 bits
  };
  for (const auto& [amount, field, eek, eur] : rows) {
    SCOPED_TRACE(amount);
    EXPECT_EQ(AmountField(amount), field);
    EXPECT_EQ(ConfirmationAmountText(amount, 233), eek);
    EXPECT_EQ(ConfirmationAmountText(amount, 978), eur);
  }
}

}  // namespace
}  // namespace korvex
