// Parsing JSON text without an exception for text that is not JSON.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <utility>

namespace korvex {

// The library's own document builder, keeping the parser's message instead of
// throwing it: an exception unwound through the parser costs more than the
// parse, and readers of untrusted text see mostly broken input.
template <class BasicJson>
class DocumentKeepingError : public nlohmann::detail::json_sax_dom_parser<BasicJson> {
 public:
  explicit DocumentKeepingError(BasicJson& root)
      : nlohmann::detail::json_sax_dom_parser<BasicJson>(root, false) {}

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    error = e.what();
    return false;
  }

  std::string error;  // the parser's what(), tag included
};

// Parses `text` into `root` as BasicJson::parse does; false, with the
// parser's message in `error`, where parse would have thrown.
template <class BasicJson>
bool ParseKeepingError(std::string_view text, BasicJson& root, std::string& error) {
  DocumentKeepingError<BasicJson> builder(root);
  if (BasicJson::sax_parse(text, &builder)) return true;
  error = std::move(builder.error);
  return false;
}

}  // namespace korvex
