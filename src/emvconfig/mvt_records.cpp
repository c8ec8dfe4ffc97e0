// MVT records: a default record and one per record of the terminal object's
// MVT table, each followed by the same terminal data.
#include <algorithm>
#include <initializer_list>
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {
namespace {

constexpr int16_t kTerminalTable = 1;
constexpr int16_t kMvtTable = 5;

std::string ReadField(TerminalObject& terminal, int16_t table, int16_t record, int16_t field) {
  std::string value;
  terminal.getTableField(table, record, field, value);
  return value;
}

// Each text followed by FS.
std::string Fields(std::initializer_list<std::string> values) {
  std::string out;
  for (const auto& v : values) out += v + FS;
  return out;
}

// The country or currency code as four digits; false when it is not a number.
bool NumericCode(const std::string& text, std::string& code) {
  int32_t value = 0;
  if (!ToLong(text, value)) return false;
  code = ZeroPadNumber(value, 4);
  return true;
}

}  // namespace

int16_t Korvex::Impl::BuildMVTRecords() {
  MVTRecords.clear();
  if (terminalObject == nullptr) return 0;
  // The default record and one per table record: a count of 0 gives the
  // default record alone, a negative count no record at all (the bounds of
  // the loop are empty), so a terminal object reporting a broken table adds
  // nothing to the pad.
  const int16_t tableRecords = terminalObject->getTableRecordCount(kMvtTable);
  const int32_t bound = tableRecords + 1;
  MVTRecords.assign(static_cast<size_t>(std::max(bound, 0)) + 1, "");
  for (int32_t i = 1; i <= bound; ++i) {
    RaiseDebugEvent(5, "Building MVT Record(" + std::to_string(i) + ")");
    auto record = static_cast<int16_t>(i - 1);
    MVTRecords[static_cast<size_t>(i)] = BuildMVTRecord(record);
    if (MVTRecords[static_cast<size_t>(i)].empty()) return 0;
  }
  return -1;
}

// Record 0 (or less) is the default record. The numeric fields of a table
// record are checked but not carried: the PIN pad gets zeros.
std::string Korvex::Impl::BuildMVTRecord(int16_t& Record) {
  if (terminalObject == nullptr) return "";
  TerminalObject& terminal = *terminalObject;
  std::string record;
  if (Record < 1) {
    const std::string none;
    record = Fields({IntToBytes(-1), IntToBytes(-1), std::string(1, '\0'), none, none, none, none,
                     std::string(1, '\0'), std::string(1, '\0'), "\x01", none, none, none});
  } else {
    if (Record > terminal.getTableRecordCount(kMvtTable)) return "";
    record = Fields({IntToBytes(-1), IntToBytes(-1), "\x01"});
    for (const int16_t field : {2, 6, 7, 9}) {
      if (!IsNumeric(ReadField(terminal, kMvtTable, Record, field))) return "";
    }
    record += Fields({IntToBytes(0), std::string(1, '\0'), LongToBytes(0), IntToBytes(0),
                      std::string(1, '\0'), std::string(1, '\0'), "\x01"});
    for (const int16_t field : {5, 3, 4}) {
      record += ReadField(terminal, kMvtTable, Record, field) + FS;
    }
  }
  const std::string terminalData = BuildMVTTerminalData();
  if (terminalData.empty()) return "";
  return record + Fields({"9F02065F2A029A039C0195059F3704", "9F3704"}) + terminalData;
}

// Fields 16 to 47; "" when the country or currency is not a number.
std::string Korvex::Impl::BuildMVTTerminalData() {
  if (terminalObject == nullptr) return "";
  TerminalObject& terminal = *terminalObject;
  std::string country;
  std::string currency;
  if (!NumericCode(terminal.getMyCountry(), country)) return "";
  if (!NumericCode(terminal.getMyCurrency(), currency)) return "";
  const std::string table1 = ReadField(terminal, kTerminalTable, 1, 1);
  const std::string terminalId = terminal.getTerminalID();
  const std::string merchantId = terminal.getMerchantID();
  const std::string acquirerId = terminal.getAIID();
  const std::string zero(1, '\0');
  return Fields({IntToBytes(-1), zero, "1", country, currency, "E0B8D0", "7000F0F001", "22", table1,
                 "R", terminalId, merchantId, acquirerId, "FF"}) +
         BuildMVTConstantBlock() +
         Fields({"1", "\x02", zero, zero, "\x01", "", "", "", "\x10", zero, zero});
}

// Fields 30 to 36.
std::string Korvex::Impl::BuildMVTConstantBlock() const {
  return Fields({"2", "30", "B", "1", "18", "1", "17"});
}

}  // namespace korvex
