#include "link/reply_shape.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "control/states.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "transaction/card_data_checks.h"
#include "transaction/trans_data.h"
#include "transaction/value_reader.h"

namespace korvex {

namespace {

enum class Kind {
  Hex,        // three digits L, then 2L hexadecimal characters
  Digits,     // the same with decimal digits only: a numeric data object
  Pan,        // decimal digits, F padding at the end
  Track2,     // decimal digits, the separator D, F padding at the end
  Char,       // one character of any value
  KeyCode,    // two hexadecimal characters: the key the cardholder pressed
  Scripts,    // two digits k, then k script results of five bytes as hex
  TagValues,  // one value per tag of the awaited list, each as its tag's
};

struct ReplyShape {
  std::string_view code;
  std::vector<Kind> fields;  // after the result "00"
};

// One row per reply whose fields the control takes. C00: AID, label,
// language preference. C01: AID, label, priority, language preference, issuer
// country, track 2 equivalent data, PAN, expiry date, PAN sequence number,
// one flag character. C02: signature flag, TVR, TSI. C83: CID, ARC. C84: CID,
// ARC, script results. C20: the values of the tags asked for. C26: the key.
const std::vector<ReplyShape>& Shapes() {
  static const std::vector<ReplyShape> shapes = {
      {"C00", {Kind::Hex, Kind::Hex, Kind::Hex}},
      {"C01",
       {Kind::Hex, Kind::Hex, Kind::Hex, Kind::Hex, Kind::Digits, Kind::Track2, Kind::Pan,
        Kind::Digits, Kind::Digits, Kind::Char}},
      {"C02", {Kind::Char, Kind::Hex, Kind::Hex}},
      {"C83", {Kind::Hex, Kind::Hex}},
      {"C84", {Kind::Hex, Kind::Hex, Kind::Scripts}},
      {"C20", {Kind::TagValues}},
      {"C26", {Kind::KeyCode}},
  };
  return shapes;
}

// Of the tags asked for, issuer country (5F28) and PAN sequence number (5F34)
// are numeric; the others are any hexadecimal.
Kind TagKind(std::string_view tag) {
  return tag == "5F28" || tag == "5F34" ? Kind::Digits : Kind::Hex;
}

// The tag list a C20 reply answers in this state; "" when none is awaited.
std::string_view AwaitedTags(int16_t state) {
  switch (state) {
    case STATE_CARD_DATA_READY: return kCardDataTags;
    case STATE_FIRST_AC_DATA_ACKED: return kFirstCryptogramTags;
    case STATE_TVR_READ_ACKED: return kTvrTag;
    case STATE_FINAL_DATA_ACKED: return kFinalDataTags;
    default: return "";
  }
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

bool AllOf(std::string_view s, bool (*test)(char)) {
  return std::all_of(s.begin(), s.end(), test);
}

// Digits, then only F: the padding to whole bytes.
bool PaddedDigits(std::string_view s) {
  const size_t end = s.find_last_not_of("Ff");
  return AllOf(s.substr(0, end == std::string_view::npos ? 0 : end + 1), IsDigit);
}

// Reads the fields of one layout left to right and keeps the card data values
// for the cross-checks.
class ShapeReader {
 public:
  ShapeReader(std::string_view data, int16_t state) : data_(data), reader_(data_), state_(state) {}

  std::string Read(const ReplyShape& shape) {
    for (size_t i = 0; i < shape.fields.size(); ++i) {
      if (std::string fault = ReadField(shape.fields[i], i + 1); !fault.empty()) return fault;
    }
    if (const size_t left = reader_.Remaining(); left != 0) {  // nothing follows the last field
      return std::to_string(left) + " characters after the last field";
    }
    return "";
  }

  std::vector<std::string> values;  // the length-prefixed values read

 private:
  std::string ReadField(Kind kind, size_t n) {
    const std::string where = "field " + std::to_string(n);
    switch (kind) {
      case Kind::Char: return reader_.Take(1) ? "" : where + " missing";
      case Kind::KeyCode: return Fixed(2, IsHex, where + " is no key code");
      case Kind::Scripts: return ReadScripts(where);
      case Kind::TagValues: return ReadTagValues();
      default: return ReadValue(kind, where);
    }
  }

  std::string Fixed(size_t n, bool (*test)(char), const std::string& fault) {
    const auto s = reader_.Take(n);
    return s && AllOf(*s, test) ? "" : fault;
  }

  std::string ReadValue(Kind kind, const std::string& where) {
    const auto value = reader_.Value();
    if (!value) {  // the reader has not moved: look at the length it refused
      const auto length = reader_.Take(3);
      if (!length || !IsDigits(*length)) return where + ": length is not three digits";
      return where + ": " + *length + " bytes run past the data";
    }
    values.push_back(*value);
    bool fits = false;
    switch (kind) {
      case Kind::Digits: fits = AllOf(*value, IsDigit); break;
      case Kind::Pan: fits = PaddedDigits(*value); break;
      case Kind::Track2: {
        const size_t d = value->find_first_of("Dd");
        const std::string_view v = *value;
        fits = d == std::string::npos
                   ? v.empty()
                   : AllOf(v.substr(0, d), IsDigit) && PaddedDigits(v.substr(d + 1));
        break;
      }
      default: fits = AllOf(*value, IsHex); break;
    }
    return fits ? "" : where + ": \"" + *value + "\" is not of its kind";
  }

  std::string ReadScripts(const std::string& where) {
    const auto count = reader_.Take(2);
    if (!count || !IsDigits(*count)) return where + ": script count is not two digits";
    return Fixed(10 * std::stoul(*count), IsHex,
                 where + ": script results are not five bytes of hex each");
  }

  // Without an awaited list the values need only be hexadecimal.
  std::string ReadTagValues() {
    const std::string_view list = AwaitedTags(state_);
    if (list.empty()) {
      for (size_t n = 1; reader_.Remaining() != 0; ++n) {
        if (std::string fault = ReadValue(Kind::Hex, "value " + std::to_string(n));
            !fault.empty()) {
          return fault;
        }
      }
      return "";
    }
    for (size_t i = 2; i + 4 <= list.size(); i += 4) {
      const std::string_view tag = list.substr(i, 4);
      if (std::string fault = ReadValue(TagKind(tag), "tag " + std::string(tag)); !fault.empty()) {
        return fault;
      }
    }
    return "";
  }

  const std::string data_;
  ValueReader reader_;
  int16_t state_;
};

}  // namespace

std::string ReplyShapeFault(std::string_view frame, int16_t state) {
  if (frame.size() < 6 || frame.front() != STX) return "";
  const size_t etx = frame.find(ETX, 1);  // the first ends it: the check byte may be ETX
  if (etx == std::string_view::npos || etx < 4) return "";
  const std::string_view code = frame.substr(1, 3);
  const auto shape = std::ranges::find(Shapes(), code, &ReplyShape::code);
  if (shape == Shapes().end()) return "";
  std::string_view data = frame.substr(4, etx - 4);
  if (data.substr(0, 2) != "00") return "";
  data.remove_prefix(2);
  ShapeReader reader(data, state);
  std::string fault = reader.Read(*shape);
  if (fault.empty() && code == "C01") {
    fault = CardDataFault(reader.values[5], reader.values[6], reader.values[7]);
  }
  return fault;
}

}  // namespace korvex
