// Reading JSON objects field by field with errors that name the field's path.
// Unknown fields are refused, so a misspelt setting never passes unnoticed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>

namespace korvex::emu::json_fields {

using nlohmann::json;

// path.key, with the key's control characters spelled as JSON spells them.
std::string Join(const std::string& path, const std::string& key);
[[noreturn]] void Fail(const std::string& path, const std::string& message);

// `j` must be an object holding only the listed keys.
void ExpectObject(const json& j, const std::string& path, std::initializer_list<const char*> keys);

bool Bool(const json& j, const std::string& path);
int64_t Integer(const json& j, const std::string& path, int64_t min, int64_t max);
double Number(const json& j, const std::string& path, double min, double max);
std::string Text(const json& j, const std::string& path);
// Two decimal digits.
std::string Status(const json& j, const std::string& path);
// A byte string: a JSON string whose characters U+0000-U+00FF stand for the
// byte of that value, or {"hex": "..."}.
std::string Bytes(const json& j, const std::string& path);

std::string ToHex(const std::string& bytes);

}  // namespace korvex::emu::json_fields
