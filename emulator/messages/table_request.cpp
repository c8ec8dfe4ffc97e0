#include "emulator/messages/table_request.h"

#include "emulator/core/pin_pad.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/record_layout.h"

namespace korvex::emu {
namespace {

// Reads `width` digits at `pos`; false when they are missing or not digits.
bool Number(const std::string& text, size_t& pos, size_t width, int& value) {
  if (pos + width > text.size()) return false;
  const std::string digits = text.substr(pos, width);
  if (!AllDigits(digits)) return false;
  value = std::stoi(digits);
  pos += width;
  return true;
}

Rejection Format(const std::string& what) {
  return {kStatusBadFormat, what};
}

}  // namespace

int TableFieldCount(int table) {
  switch (table) {
    case kEstTable: return kEstFieldCount;
    case kMvtTable: return kMvtFieldCount;
    case kVersionTable: return kVersionFieldCount;
    default: return 0;
  }
}

std::string TableName(int table) {
  switch (table) {
    case kEstTable: return "EST";
    case kMvtTable: return "MVT";
    case kVersionTable: return "version";
    default: return "table " + std::to_string(table);
  }
}

std::variant<TableRequest, Rejection> ParseTableRequest(const std::string& text) {
  TableRequest r;
  r.code = text.substr(0, 3);
  size_t pos = 3;
  if (!Number(text, pos, 2, r.table)) return Format("table number must be 2 digits");
  if (TableFieldCount(r.table) == 0) {
    return Rejection{kStatusBadTable, "no table " + text.substr(3, 2)};
  }
  const bool hasRecord = r.code == "D03" || r.code == "D05" || r.code == "D06";
  if (hasRecord && !Number(text, pos, 3, r.record)) {
    return Format("record number must be 3 digits");
  }
  if (r.code == "D04" || r.code == "D05") {
    int length = 0;
    if (!Number(text, pos, 3, r.fieldCount)) return Format("field count must be 3 digits");
    if (!Number(text, pos, 3, length)) return Format("record length must be 3 digits");
    r.data = text.substr(pos);
    if (r.data.size() != size_t(length)) {
      return Format("record length field says " + std::to_string(length) + ", record has " +
                    std::to_string(r.data.size()) + " bytes");
    }
    pos = text.size();
  }
  if (pos != text.size()) return Format("request is longer than its layout");
  return r;
}

}  // namespace korvex::emu
