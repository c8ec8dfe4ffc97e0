// The transaction data store: the one record of a card transaction, filled
// from the host's arguments and from the PIN pad's replies, and read back by
// key through getTag.
//
// Values are kept exactly as the PIN pad sent them (hexadecimal text, either
// case) unless noted. Each transaction overwrites them field by field, so the
// last values stay readable until the next transaction's replies replace them.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

struct TransData {
  double TransactionAmount = 0;  // major currency units
  int16_t CurrencyCode = 0;
  std::string TransactionDateTime;
  int16_t IssuerCountryCode = 0;  // tag 5F28, its digits read as a number
  std::string CryptogramInfoData;
  int16_t PanSequenceNumber = 0;  // tag 5F34, its digits read as a number
  std::string ApplicationInterchangeProfile;
  std::string IssuerApplicationData;
  std::string ApplicationCryptogram;
  std::string TerminalCapabilities;
  std::string ApplicationTransactionCounter;
  std::string UnpredictableNumber;
  std::string ApplicationId;
  std::string LanguagePreference;
  std::string Track2Data;  // printable form, "=" as separator
  std::string Pan;         // without its "F" padding
  std::string TagFF51Data;
  std::string ExpiryDate;
  std::string CvmResults;
  std::string TerminalVerificationResults;
  std::string SignatureFlag;  // one character
  std::string TransactionStatusInformation;
  std::string AuthResponseCode;
};

// Tag lists of the C20 request: two digits n, then n four-character tags (a
// one-byte tag padded with "00").
inline constexpr const char* kCardDataTags = "055F285F3482009F335F2D";
inline constexpr const char* kFirstCryptogramTags = "089F279F109F269F369F3795009B009F34";
inline constexpr const char* kTvrTag = "019500";
inline constexpr const char* kFinalDataTags = "079F279F109F269F369F3795009B00";

// Resets what the host gives at the start of a transaction: amount, currency
// and date. The card data keeps its last values until replies overwrite them.
void ClearTransData(TransData& data);

// Stores the items of a C20 reply's data (per tag: three digits giving the
// byte count, then twice that many hex characters) under the tags of the list.
// False on a malformed list, empty data, a short or malformed item or a tag
// the record does not keep; items stored before the failure stay.
bool ParseTagData(TransData& data, const std::string& TagList, const std::string& TagData);

// One value under one tag (compared case-insensitively). False for a tag the
// record does not keep, and for a 5F28 value that is not a number.
bool StoreTag(TransData& data, const std::string& Value, const std::string& Tag);

// Stores the fields of a C00, C01, C02, C83 or C84 reply (the whole frame,
// status "00" only); any other code is ignored. Reading stops at a length that
// is not three digits or a value that runs past the end of the message; what
// was stored before stays.
void ParseResponseData(TransData& data, const std::string& Message);

// The field named by the key, compared case-insensitively ("AID", "PAN",
// "TRACK2", "95", "CSN" ...); "" for any other key.
std::string getTag(const TransData& data, const std::string& Tag);

}  // namespace korvex
