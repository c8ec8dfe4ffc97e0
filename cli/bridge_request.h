// An input line of the host bridge read as a call, {"call": NAME, "args": [...]},
// without building it as a document.
//
// The JSON library's parser reads the line and hands each value over as it
// goes; only what the call needs is kept: the name, the arguments as scalar
// values and the first key that does not belong. So the parser's checks, its
// messages and its number types are the library's own, and a key given twice
// keeps its later value, as it would in a document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::cli {

// One element of "args" as the parser typed it. An array or an object is only
// marked as such: no argument kind takes one.
struct RequestValue {
  enum class Type { kNull, kBoolean, kInteger, kUnsigned, kFloat, kString, kStructured };

  Type type = Type::kNull;
  bool boolean = false;
  int64_t integer = 0;           // kInteger: a negative whole number
  uint64_t unsignedInteger = 0;  // kUnsigned: a whole number from 0 up
  double number = 0;             // kFloat: any other number
  std::string text;              // kString, as UTF-8

  bool IsInteger() const { return type == Type::kInteger || type == Type::kUnsigned; }
  bool IsNumber() const { return IsInteger() || type == Type::kFloat; }
  // The number as the library converts it: whole numbers cast to the type.
  int64_t AsInt64() const;
  double AsDouble() const;
};

// What one line asked for. Kept from line to line, so that its buffers are
// reused.
class BridgeRequest {
 public:
  enum class Args { kAbsent, kArray, kOther };

  // Reads `line`; false where the library's parse would have thrown.
  bool Read(std::string_view line);
  // After a false Read: the parser's message, its tag included.
  const std::string& Error() const { return error_; }

  bool IsObject() const { return isObject_; }
  // The first key that is neither "call" nor "args"; null when there is none.
  const std::string* UnknownKey() const { return hasUnknownKey_ ? &unknownKey_ : nullptr; }
  // The call's name; null when "call" is missing or not a string.
  const std::string* Call() const { return callIsString_ ? &call_ : nullptr; }
  Args ArgsGiven() const { return args_; }
  // The elements of "args" when it is an array.
  std::span<const RequestValue> ArgValues() const { return {values_.data(), valueCount_}; }

 private:
  friend class RequestEvents;

  void Clear();
  // The next element of "args", reusing an earlier line's.
  RequestValue& AddValue(RequestValue::Type type);

  bool isObject_ = false;
  bool hasUnknownKey_ = false;
  std::string unknownKey_;
  bool callIsString_ = false;
  std::string call_;
  Args args_ = Args::kAbsent;
  std::vector<RequestValue> values_;
  size_t valueCount_ = 0;
  std::string error_;
};

}  // namespace korvex::cli
