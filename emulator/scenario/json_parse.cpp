// A SAX reader around the library's document builder that keeps the path of
// the value being read, for the error's field.
#include "emulator/scenario/json_parse.h"

#include <vector>

#include "emulator/scenario/json_fields.h"
#include "emulator/scenario/scenario.h"

namespace korvex::emu {
namespace {

using nlohmann::json;
using DomBuilder = nlohmann::detail::json_sax_dom_parser<json>;
constexpr int kNumberOverflow = 406;

class PathTrackingSax {
 public:
  // Room for the depth of any file a person writes, so that the frames are
  // one allocation, not one each time the nesting deepens.
  explicit PathTrackingSax(json& root) : dom_(root) { frames_.reserve(8); }

  bool null() { return Value(dom_.null()); }
  bool boolean(bool v) { return Value(dom_.boolean(v)); }
  bool number_integer(json::number_integer_t v) { return Value(dom_.number_integer(v)); }
  bool number_unsigned(json::number_unsigned_t v) { return Value(dom_.number_unsigned(v)); }
  bool number_float(json::number_float_t v, const std::string& s) {
    return Value(dom_.number_float(v, s));
  }
  bool string(std::string& v) { return Value(dom_.string(v)); }
  bool binary(json::binary_t& v) { return Value(dom_.binary(v)); }
  bool start_object(std::size_t n) {
    frames_.push_back({false, 0, ""});
    return dom_.start_object(n);
  }
  bool key(std::string& k) {
    frames_.back().key = k;
    return dom_.key(k);
  }
  bool end_object() {
    frames_.pop_back();
    return Value(dom_.end_object());
  }
  bool start_array(std::size_t n) {
    frames_.push_back({true, 0, ""});
    return dom_.start_array(n);
  }
  bool end_array() {
    frames_.pop_back();
    return Value(dom_.end_array());
  }
  // Kept, not thrown: an exception unwound through the parser's frames costs
  // more than the parse, and most broken files end here.
  bool parse_error(std::size_t, const std::string& token, const nlohmann::detail::exception& e) {
    if (e.id == kNumberOverflow) {
      error_ = {Path(), "number " + token + " is too large for a double"};
    } else {
      error_ = {"", std::string("not valid JSON: ") + e.what()};
    }
    return false;
  }

  ScenarioError Refusal() const { return ScenarioError(error_.field, error_.message); }

 private:
  struct Frame {
    bool array;
    size_t index;
    std::string key;
  };

  // A value ended: the next element of an array has the next index.
  bool Value(bool result) {
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
    return result;
  }

  std::string Path() const {
    std::string path;
    for (const auto& f : frames_) {
      path = f.array ? path + "[" + std::to_string(f.index) + "]" : json_fields::Join(path, f.key);
    }
    return path;
  }

  struct Error {
    std::string field;
    std::string message;
  };

  DomBuilder dom_;
  std::vector<Frame> frames_;
  Error error_;
};

}  // namespace

std::optional<ScenarioError> ReadJsonFields(const std::string& text, json& document) {
  document = json();
  PathTrackingSax sax(document);
  if (!json::sax_parse(text, &sax)) return sax.Refusal();
  return std::nullopt;
}

json ParseJsonFields(const std::string& text) {
  json root;
  if (auto error = ReadJsonFields(text, root)) throw *error;
  return root;
}

}  // namespace korvex::emu
