// JsonTerminal: a ready terminal object whose whole configuration comes from a
// JSON file (terminal identity, PIN bypass, the AID and MVT tables, CA keys and
// card policies). The format is described in examples/terminal.md.
//
// Texts in the file are UTF-8 and are handed to the control in its single-byte
// code page (Windows-1257); CA key fields are hexadecimal in the file and
// binary (one byte per character) at the interface.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvex/terminal_object.h"

namespace korvex {

class JsonTerminal : public TerminalObject {
 public:
  struct Table {
    std::string reference;
    std::vector<std::vector<std::string>> records;  // record r field k at [r-1][k-1]
  };
  struct CaKey {
    std::string id;
    std::map<int16_t, std::string> fields;  // binary values by field number
  };
  struct AidRule {
    std::string aidPrefix;                 // upper-case hex
    std::optional<int16_t> issuerCountry;  // any country when absent
    int16_t policy = 0;
  };
  struct PanRange {
    std::string low;  // decimal digits, as long as high
    std::string high;
    int16_t policy = 0;
  };
  // Everything the file holds, texts already in the code page.
  struct Config {
    std::string country;
    std::string currency;
    std::string terminalId;
    std::string merchantId;
    std::string acquirerId;
    std::string table1Field1;
    std::optional<bool> pinBypass;
    Table aidTable;  // table 4
    Table mvtTable;  // table 5
    std::vector<CaKey> caKeys;
    std::vector<AidRule> aidRules;
    std::vector<PanRange> panRanges;
    std::map<int16_t, int16_t> policyRecords;  // policy id -> table-5 record
  };

  // Reads and checks the file. On any problem returns null and sets error to
  // "<path>: <field>: <what is wrong>"; never throws.
  static std::unique_ptr<JsonTerminal> Load(const std::string& path, std::string& error);
  // The same for JSON text; sourceName stands for the file name in errors.
  static std::unique_ptr<JsonTerminal> FromText(const std::string& text,
                                                const std::string& sourceName, std::string& error);

  explicit JsonTerminal(Config config);
  const Config& config() const { return config_; }

  // Out-of-range keys, tables, records and fields give empty values, a count of
  // 0 and, where the method has one, status 1.
  int16_t getERKCount() override;
  std::string getERKID(int16_t& KeyIndex) override;
  int16_t getERKField(int16_t& KeyIndex, int16_t FieldNumber, std::string& Value) override;
  int16_t getTableRecordCount(int16_t TableNumber) override;
  int16_t getTableField(int16_t TableNumber, int16_t& Record, int16_t FieldNumber,
                        std::string& Value) override;
  void GetTableReferenceNumber(int16_t TableNumber, std::string& Reference) override;

  // First matching rule wins; -1 when none matches.
  int16_t GetAIDPolicyID(std::string& AID, int16_t& IssuerCountry) override;
  // First range holding the PAN's leading digits; -1 and Found false when none.
  // Flag is accepted and not used.
  int16_t GetPANPolicyID(std::string& PAN, bool Flag, bool& Found) override;
  // The table-5 record of the policy; an unmapped policy gets the record of
  // policy 0, the policy of a card that no rule matches.
  int16_t GetPolicyIndex(int16_t& PolicyID) override;
  std::optional<bool> PINBypassAllowed() override;

  std::string getMyCountry() override;
  std::string getMyCurrency() override;
  std::string getTerminalID() override;
  std::string getMerchantID() override;
  std::string getAIID() override;

 private:
  const Table* TableByNumber(int16_t TableNumber) const;
  const CaKey* KeyByIndex(int16_t KeyIndex) const;

  Config config_;
};

}  // namespace korvex
