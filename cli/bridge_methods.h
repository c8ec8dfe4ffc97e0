// The host bridge's calls: one input line names a method of the control and
// its arguments in order; the answer is {"return": value} or {"error": "..."},
// written as one line of compact JSON text.
//
// Each method is one row of a table: its name, the kinds of its arguments and
// the call. Arguments are checked against the kinds before the call, so a row
// only ever sees values of the right type and width.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "cli/bridge_request.h"
#include "korvex/korvex.h"
#include "korvex/terminal_object.h"

namespace korvex::cli {

// Keys keep their insertion order, so lines read as documented.
using Json = nlohmann::ordered_json;

// Argument kinds with the host object model's widths: Integer 16-bit signed,
// Long 32-bit signed, Byte 8-bit unsigned, Double, Boolean, and Text, a byte
// string written as characters U+0000..U+00FF.
enum class ArgKind { kInteger, kLong, kByte, kDouble, kBoolean, kText };

// A call's arguments, already checked against the method's kinds. Asking for
// another kind than the row declares throws std::bad_variant_access.
class BridgeArgs {
 public:
  using Value = std::variant<int64_t, double, bool, std::string>;

  explicit BridgeArgs(std::vector<Value> values) : values_(std::move(values)) {}
  int16_t Integer(size_t i) const { return static_cast<int16_t>(std::get<int64_t>(values_.at(i))); }
  int32_t Long(size_t i) const { return static_cast<int32_t>(std::get<int64_t>(values_.at(i))); }
  uint8_t Byte(size_t i) const { return static_cast<uint8_t>(std::get<int64_t>(values_.at(i))); }
  double Double(size_t i) const { return std::get<double>(values_.at(i)); }
  bool Boolean(size_t i) const { return std::get<bool>(values_.at(i)); }
  const std::string& Text(size_t i) const { return std::get<std::string>(values_.at(i)); }

 private:
  std::vector<Value> values_;
};

// What the calls work on.
struct BridgeTarget {
  Korvex& control;
  TerminalObject* terminal = nullptr;  // the --terminal object; null without one
  bool showCardData = false;           // --show-card-data: PAN and track 2 in clear
};

// A refusal by the bridge itself inside a call, answered as
// {"error": "<method>: <what>"}.
class BridgeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct BridgeMethod {
  std::string name;
  std::vector<ArgKind> args;
  // The result as its JSON value: null, a number, or a text through TextValue.
  std::function<Json(BridgeTarget&, const BridgeArgs&)> call;
};

// A byte string as a JSON string, byte n as U+00nn.
Json TextValue(const std::string& bytes);

// Deepest nesting of arrays and objects a line may hold; a call needs two.
inline constexpr size_t kMaxNesting = 32;

// {"error": message}: an answer line written as text, since most lines that
// come in are refused and a document built only to be dumped costs more than
// the refusal. The message may come in parts, written one after another into
// the line; a part must not end inside a character the next one finishes.
std::string ErrorAnswer(std::initializer_list<std::string_view> message);
inline std::string ErrorAnswer(std::string_view message) {
  return ErrorAnswer({message});
}
// {"error": "malformed line: <reason>"}
std::string MalformedLine(std::initializer_list<std::string_view> reason);
inline std::string MalformedLine(std::string_view reason) {
  return MalformedLine({reason});
}

class MethodTable {
 public:
  explicit MethodTable(std::vector<BridgeMethod> methods) : methods_(std::move(methods)) {}

  // The answer line to one input line. Never throws: whatever goes wrong,
  // including an exception from the call, becomes an error answer.
  std::string Answer(std::string_view line, BridgeTarget& target) const;
  // The same, reading the line into `request`, whose buffers a reader of many
  // lines keeps from one to the next.
  std::string Answer(std::string_view line, BridgeTarget& target, BridgeRequest& request) const;

  // Null for an unknown name; names are case-sensitive.
  const BridgeMethod* Find(std::string_view name) const;

 private:
  std::string Call(const BridgeMethod& method, std::span<const RequestValue> args,
                   BridgeTarget& target) const;

  std::vector<BridgeMethod> methods_;
};

// The public methods of the Korvex control.
const MethodTable& KorvexMethods();

}  // namespace korvex::cli
