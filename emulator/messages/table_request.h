// The table requests, read by layout:
//   "D01" tt                          table information
//   "D03" tt rrr                      read record rrr
//   "D06" tt rrr                      delete record rrr (000: the first)
//   "D04" tt fff LLL record           add a record of fff fields, LLL bytes
//   "D05" tt rrr fff LLL record       write record rrr
// tt is the table (01 EST, 02 MVT, 03 versions), every number is decimal
// digits of the width shown, and LLL must be the record's length.
#pragma once

#include <string>
#include <variant>

#include "emulator/core/handler_table.h"

namespace korvex::emu {

// Statuses answered to refused table requests.
inline const std::string kStatusOk = "00";
inline const std::string kStatusOutOfOrder = "01";
inline const std::string kStatusNoRecord = "05";
inline const std::string kStatusBadRecord = "08";
inline const std::string kStatusDuplicate = "09";
inline const std::string kStatusBadTable = "10";
inline const std::string kStatusTableFull = "11";

struct TableRequest {
  std::string code;  // "D01" ... "D06"
  int table = 0;
  int record = 0;      // D03, D05, D06
  int fieldCount = 0;  // D04, D05
  std::string data;    // D04, D05: the record as received
};

std::variant<TableRequest, Rejection> ParseTableRequest(const std::string& text);

// The number of fields a record of the table has; 0 for an unknown table.
int TableFieldCount(int table);
std::string TableName(int table);

}  // namespace korvex::emu
