// The host's terminal configuration, as the control reads it: CA keys, the
// AID table (4), the MVT table (5), terminal identity and card policies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvex {

// Tables are addressed by number (1 terminal, 4 AID table, 5 MVT table);
// records, fields and keys count from 1. A status result of 0 means success.
// Arguments passed by reference may be written by the object.
class TerminalObject {
 public:
  virtual ~TerminalObject() = default;

  virtual int16_t getERKCount() = 0;
  virtual std::string getERKID(int16_t& KeyIndex) = 0;
  // Binary fields are returned one byte per character.
  virtual int16_t getERKField(int16_t& KeyIndex, int16_t FieldNumber, std::string& Value) = 0;

  virtual int16_t getTableRecordCount(int16_t TableNumber) = 0;
  virtual int16_t getTableField(int16_t TableNumber, int16_t& Record, int16_t FieldNumber,
                                std::string& Value) = 0;
  virtual void GetTableReferenceNumber(int16_t TableNumber, std::string& Reference) = 0;

  virtual int16_t GetAIDPolicyID(std::string& AID, int16_t& IssuerCountry) = 0;
  virtual int16_t GetPANPolicyID(std::string& PAN, bool Flag, bool& Found) = 0;
  virtual int16_t GetPolicyIndex(int16_t& PolicyID) = 0;
  // An empty result stands for Null and counts as false.
  virtual std::optional<bool> PINBypassAllowed() = 0;

  // Numeric codes as text; the control converts them and refuses text that is
  // not a number.
  virtual std::string getMyCountry() = 0;
  virtual std::string getMyCurrency() = 0;
  virtual std::string getTerminalID() = 0;
  virtual std::string getMerchantID() = 0;
  virtual std::string getAIID() = 0;
};

}  // namespace korvex
