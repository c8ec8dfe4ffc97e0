// The layouts of the records the table messages carry: FS-terminated fields,
// binary fields one character per byte. Each check returns the first thing
// wrong with a record, or nullopt when it is well formed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvex::emu {

inline constexpr int kEstFieldCount = 71;
inline constexpr int kMvtFieldCount = 47;
inline constexpr int kVersionFieldCount = 18;

// The fields of a record that ends with FS; nullopt when it does not.
std::optional<std::vector<std::string>> SplitFields(const std::string& record);

// EST record number `position` (1-based) of its table.
std::optional<std::string> CheckEstRecord(const std::vector<std::string>& fields, size_t position);
// The RID (field 3) of a well-formed EST record.
std::string EstRid(const std::string& record);
// MVT record number `position`; the first record of the table is the default.
std::optional<std::string> CheckMvtRecord(const std::vector<std::string>& fields, size_t position);
std::optional<std::string> CheckVersionRecord(const std::vector<std::string>& fields);

}  // namespace korvex::emu
