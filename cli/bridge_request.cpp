#include "cli/bridge_request.h"

#include <nlohmann/json.hpp>
#include <utility>

namespace korvex::cli {

int64_t RequestValue::AsInt64() const {
  switch (type) {
    case Type::kUnsigned: return static_cast<int64_t>(unsignedInteger);
    case Type::kFloat: return static_cast<int64_t>(number);
    default: return integer;
  }
}

double RequestValue::AsDouble() const {
  switch (type) {
    case Type::kUnsigned: return static_cast<double>(unsignedInteger);
    case Type::kInteger: return static_cast<double>(integer);
    default: return number;
  }
}

void BridgeRequest::Clear() {
  isObject_ = false;
  hasUnknownKey_ = false;
  callIsString_ = false;
  args_ = Args::kAbsent;
  valueCount_ = 0;
}

RequestValue& BridgeRequest::AddValue(RequestValue::Type type) {
  if (valueCount_ == values_.size()) values_.emplace_back();
  RequestValue& value = values_[valueCount_++];
  value.type = type;
  return value;
}

// The parser's events for one line. Depth 0 is the line's value itself, depth
// 1 the values of the top object's keys, depth 2 the elements of "args";
// anything deeper only counts as part of the value that holds it.
class RequestEvents {
 public:
  using Type = RequestValue::Type;

  explicit RequestEvents(BridgeRequest& request) : r_(request) {}

  bool null() {
    Element(Type::kNull);
    return Scalar(Type::kNull);
  }
  bool boolean(bool b) {
    if (RequestValue* v = Element(Type::kBoolean)) v->boolean = b;
    return Scalar(Type::kBoolean);
  }
  bool number_integer(int64_t n) {
    if (RequestValue* v = Element(Type::kInteger)) v->integer = n;
    return Scalar(Type::kInteger);
  }
  bool number_unsigned(uint64_t n) {
    if (RequestValue* v = Element(Type::kUnsigned)) v->unsignedInteger = n;
    return Scalar(Type::kUnsigned);
  }
  bool number_float(double n, const std::string&) {
    if (RequestValue* v = Element(Type::kFloat)) v->number = n;
    return Scalar(Type::kFloat);
  }
  // The parser's buffer is taken, not copied: it clears it for the next token.
  bool string(std::string& s) {
    if (RequestValue* v = Element(Type::kString)) {
      std::swap(v->text, s);
    } else if (depth_ == 1 && field_ == Field::kCall) {
      std::swap(r_.call_, s);
    }
    return Scalar(Type::kString);
  }
  bool binary(nlohmann::json::binary_t&) { return true; }  // never in JSON text

  bool start_object(size_t) { return Open(false); }
  bool start_array(size_t) { return Open(true); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  bool key(std::string& k) {
    if (depth_ != 1) return true;
    if (k == "call") {
      field_ = Field::kCall;
    } else if (k == "args") {
      field_ = Field::kArgs;
    } else {
      field_ = Field::kOther;
      if (!r_.hasUnknownKey_) {
        std::swap(r_.unknownKey_, k);
        r_.hasUnknownKey_ = true;
      }
    }
    return true;
  }

  bool parse_error(size_t, const std::string&, const nlohmann::detail::exception& e) {
    r_.error_ = e.what();
    return false;
  }

 private:
  enum class Field { kCall, kArgs, kOther };

  // The slot for a value that is an element of "args"; null for any other.
  RequestValue* Element(Type type) { return inArgs_ && depth_ == 2 ? &r_.AddValue(type) : nullptr; }

  // A value of the top object's current key: a later value of a key replaces
  // an earlier one.
  void FieldValue(Type type, bool array) {
    if (field_ == Field::kCall) r_.callIsString_ = type == Type::kString;
    if (field_ == Field::kArgs) {
      r_.args_ = array ? BridgeRequest::Args::kArray : BridgeRequest::Args::kOther;
      r_.valueCount_ = 0;
    }
  }

  bool Scalar(Type type) {
    if (depth_ == 1 && r_.isObject_) FieldValue(type, false);
    return true;
  }

  bool Open(bool array) {
    if (depth_ == 0) r_.isObject_ = !array;
    if (depth_ == 1 && r_.isObject_) {
      FieldValue(Type::kStructured, array);
      inArgs_ = array && field_ == Field::kArgs;
    }
    Element(Type::kStructured);
    ++depth_;
    return true;
  }

  bool Close() {
    if (--depth_ == 1) inArgs_ = false;
    return true;
  }

  BridgeRequest& r_;
  size_t depth_ = 0;
  Field field_ = Field::kOther;
  bool inArgs_ = false;  // inside the array that is the value of "args"
};

bool BridgeRequest::Read(std::string_view line) {
  Clear();
  RequestEvents events(*this);
  return nlohmann::json::sax_parse(line, &events);
}

}  // namespace korvex::cli
