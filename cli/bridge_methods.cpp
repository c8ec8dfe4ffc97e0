#include "cli/bridge_methods.h"

#include <charconv>
#include <exception>
#include <limits>

#include "cli/bridge_request.h"
#include "cli/byte_text.h"
#include "cli/card_data.h"

namespace korvex::cli {

namespace {

struct IntegerRange {
  int64_t min, max;
};

IntegerRange RangeOf(ArgKind kind) {
  switch (kind) {
    case ArgKind::kInteger:
      return {std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()};
    case ArgKind::kLong:
      return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    default: return {0, std::numeric_limits<uint8_t>::max()};  // Byte
  }
}

// An integer argument in the kind's range; "" or the complaint.
std::string CheckInteger(ArgKind kind, const RequestValue& v, BridgeArgs::Value& out) {
  if (!v.IsInteger()) return "must be an integer";
  const IntegerRange range = RangeOf(kind);
  const bool isUnsigned = v.type == RequestValue::Type::kUnsigned;
  const bool tooBig = isUnsigned ? v.unsignedInteger > uint64_t(range.max) : v.integer > range.max;
  if (tooBig || (!isUnsigned && v.integer < range.min)) {
    return "is out of range " + std::to_string(range.min) + ".." + std::to_string(range.max);
  }
  out = v.AsInt64();
  return "";
}

std::string CheckArgument(ArgKind kind, const RequestValue& v, BridgeArgs::Value& out) {
  switch (kind) {
    case ArgKind::kInteger:
    case ArgKind::kLong:
    case ArgKind::kByte: return CheckInteger(kind, v, out);
    case ArgKind::kDouble:
      if (!v.IsNumber()) return "must be a number";
      out = v.AsDouble();
      return "";
    case ArgKind::kBoolean:
      if (v.type != RequestValue::Type::kBoolean) return "must be true or false";
      out = v.boolean;
      return "";
    case ArgKind::kText: {
      if (v.type != RequestValue::Type::kString) return "must be a string";
      std::string bytes, error;
      if (!Utf8ToBytes(v.text, bytes, error)) return "is not a byte text: " + error;
      out = std::move(bytes);
      return "";
    }
  }
  return "has an unknown kind";
}

std::string CountText(size_t n) {
  if (n == 0) return "no arguments";
  return std::to_string(n) + (n == 1 ? " argument" : " arguments");
}

// The answer to a line the parser refused: its message without the
// "[json.exception.parse_error.101] " tag, cut short, for it may quote a whole
// token of the line and the answer to a runaway line must not be as long as
// the line.
std::string ParseErrorAnswer(std::string_view what) {
  constexpr size_t kMaxReason = 200;
  const size_t tagEnd = what.find("] ");
  const std::string_view reason = tagEnd == std::string_view::npos ? what : what.substr(tagEnd + 2);
  if (reason.size() <= kMaxReason) return MalformedLine(reason);
  // A character cut in two at the end is written as the library writes it
  // before any other byte: "..." is ASCII.
  return MalformedLine({reason.substr(0, kMaxReason), "..."});
}

// {"return": value}, compact, as the JSON library dumps it. The rows answer
// null, a whole number or a text (through TextValue), written straight into
// the line; any other value, which a row may answer too, goes through the
// library's dump.
std::string ReturnAnswer(const Json& value) {
  std::string line = "{\"return\":";
  char digits[24];
  switch (value.type()) {
    case Json::value_t::null: line += "null"; break;
    case Json::value_t::number_integer:
      line.append(digits, std::to_chars(digits, digits + sizeof digits, value.get<int64_t>()).ptr);
      break;
    case Json::value_t::number_unsigned:
      line.append(digits, std::to_chars(digits, digits + sizeof digits, value.get<uint64_t>()).ptr);
      break;
    case Json::value_t::string: AppendQuotedUtf8(line, value.get_ref<const std::string&>()); break;
    default: line += value.dump(-1, ' ', false, Json::error_handler_t::replace);
  }
  line += '}';
  return line;
}

// Whether arrays and objects in `line` nest deeper than kMaxNesting. Checked
// before parsing, so that a hostile line costs one pass and never the parser's
// or the value's recursion. Brackets inside strings do not count.
bool NestsTooDeep(std::string_view line) {
  size_t depth = 0;
  bool inString = false, escaped = false;
  for (const char c : line) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

}  // namespace

Json TextValue(const std::string& bytes) {
  return BytesToUtf8(bytes);
}

namespace {

// {"error":"<head><parts>"} in one allocation, unless the message has more to
// escape than a few quotes.
std::string ErrorLine(std::string_view head, std::initializer_list<std::string_view> parts) {
  constexpr std::string_view kOpen = "{\"error\":\"", kClose = "\"}";
  constexpr size_t kEscapeRoom = 16;
  size_t size = kOpen.size() + head.size() + kClose.size() + kEscapeRoom;
  for (const std::string_view part : parts) size += part.size();
  std::string line;
  line.reserve(size);
  line += kOpen;
  line += head;  // ASCII with nothing to escape
  for (const std::string_view part : parts) AppendEscapedUtf8(line, part);
  line += kClose;
  return line;
}

}  // namespace

std::string ErrorAnswer(std::initializer_list<std::string_view> message) {
  return ErrorLine("", message);
}

std::string MalformedLine(std::initializer_list<std::string_view> reason) {
  return ErrorLine("malformed line: ", reason);
}

const BridgeMethod* MethodTable::Find(std::string_view name) const {
  for (const BridgeMethod& m : methods_) {
    if (m.name == name) return &m;
  }
  return nullptr;
}

std::string MethodTable::Answer(std::string_view line, BridgeTarget& target) const {
  BridgeRequest request;
  return Answer(line, target, request);
}

std::string MethodTable::Answer(std::string_view line, BridgeTarget& target,
                                BridgeRequest& request) const {
  if (NestsTooDeep(line)) {
    return MalformedLine({"nested deeper than ", std::to_string(kMaxNesting), " levels"});
  }
  // A syntax error, or a number too big for a double.
  if (!request.Read(line)) return ParseErrorAnswer(request.Error());
  if (!request.IsObject()) return MalformedLine("expected a JSON object");
  if (const std::string* key = request.UnknownKey()) {
    return MalformedLine({"unknown key \"", *key, "\""});
  }
  const std::string* name = request.Call();
  if (name == nullptr) return MalformedLine("\"call\" must be a string naming the method");
  if (request.ArgsGiven() == BridgeRequest::Args::kOther) {
    return MalformedLine("\"args\" must be an array");
  }
  const BridgeMethod* method = Find(*name);
  if (method == nullptr) return ErrorAnswer({"unknown method: ", *name});
  return Call(*method, request.ArgValues(), target);
}

std::string MethodTable::Call(const BridgeMethod& method, std::span<const RequestValue> args,
                              BridgeTarget& target) const {
  if (args.size() != method.args.size()) {
    return ErrorAnswer({method.name, ": expects ", CountText(method.args.size()), ", got ",
                        std::to_string(args.size())});
  }
  std::vector<BridgeArgs::Value> values(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string complaint = CheckArgument(method.args[i], args[i], values[i]);
    if (!complaint.empty()) {
      return ErrorAnswer({method.name, ": argument ", std::to_string(i + 1), " ", complaint});
    }
  }
  try {
    return ReturnAnswer(method.call(target, BridgeArgs(std::move(values))));
  } catch (const BridgeError& e) {
    return ErrorAnswer({method.name, ": ", e.what()});
  } catch (const std::exception& e) {
    return ErrorAnswer({method.name, ": failed: ", e.what()});
  }
}

namespace {

using A = const BridgeArgs&;
using T = BridgeTarget&;

// A row for a method without a result: it answers null.
template <class F>
auto NoResult(F call) {
  return [call](T t, A a) -> Json {
    call(t, a);
    return nullptr;
  };
}

Json BindTerminal(T t, A) {
  if (t.terminal == nullptr) {
    throw BridgeError("no terminal object: start the bridge with --terminal FILE.json");
  }
  return t.control.setTerminalObject(*t.terminal);
}

Json CardTag(T t, A a) {
  const std::string value = t.control.getTag(a.Text(0));
  return TextValue(t.showCardData ? value : MaskTagValue(a.Text(0), value));
}

}  // namespace

const MethodTable& KorvexMethods() {
  using K = ArgKind;
  static const MethodTable table({
      {"PerformConnectionTest",
       {K::kInteger},
       [](T t, A a) -> Json { return t.control.PerformConnectionTest(a.Integer(0)); }},
      {"InitTransaction", {}, [](T t, A) -> Json { return t.control.InitTransaction(); }},
      {"InitFromReg", {}, [](T t, A) -> Json { return t.control.InitFromReg(); }},
      {"setTerminalObject", {}, BindTerminal},
      {"WarmReset", {}, [](T t, A) -> Json { return t.control.WarmReset(); }},
      {"ColdReset", {}, NoResult([](T t, A) { t.control.ColdReset(); })},
      {"getState", {}, [](T t, A) -> Json { return t.control.getState(); }},
      {"setEMVRegistryKey", {K::kText}, NoResult([](T t, A a) {
         t.control.setEMVRegistryKey(a.Text(0));
       })},
      {"getName", {}, [](T t, A) -> Json { return TextValue(t.control.getName()); }},
      {"setName", {K::kText}, NoResult([](T t, A a) { t.control.setName(a.Text(0)); })},
      {"getHostIndex", {}, [](T t, A) -> Json { return t.control.getHostIndex(); }},
      {"StartTransaction",
       {K::kText, K::kDouble, K::kInteger, K::kBoolean},
       [](T t, A a) -> Json {
         return t.control.StartTransaction(a.Text(0), a.Double(1), a.Integer(2), a.Boolean(3));
       }},
      {"ChangeTransactionAmount",
       {K::kDouble},
       [](T t, A a) -> Json { return t.control.ChangeTransactionAmount(a.Double(0)); }},
      {"EnterPIN", {}, [](T t, A) -> Json { return t.control.EnterPIN(); }},
      {"GetFirstCrypto",
       {K::kByte, K::kBoolean},
       [](T t, A a) -> Json { return t.control.GetFirstCrypto(a.Byte(0), a.Boolean(1)); }},
      {"GetSecondCrypto",
       {K::kInteger, K::kText, K::kText, K::kText, K::kText},
       [](T t, A a) -> Json {
         return t.control.GetSecondCrypto(a.Integer(0), a.Text(1), a.Text(2), a.Text(3), a.Text(4));
       }},
      {"getTag", {K::kText}, CardTag},
      {"SetDownloadPath", {K::kText}, NoResult([](T t, A a) {
         t.control.SetDownloadPath(a.Text(0));
       })},
      {"MagnetReader", {}, [](T t, A) -> Json { return t.control.MagnetReader(); }},
      {"CheckServiceCode",
       {K::kText},
       [](T t, A a) -> Json { return t.control.CheckServiceCode(a.Text(0)); }},
      {"getStallGuardMs", {}, [](T t, A) -> Json { return t.control.getStallGuardMs(); }},
      {"setStallGuardMs",
       {K::kLong},
       [](T t, A a) -> Json { return t.control.setStallGuardMs(a.Long(0)); }},
  });
  return table;
}

}  // namespace korvex::cli
