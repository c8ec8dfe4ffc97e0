// A card's data objects: tag key -> value as hex, in tag order. A card holds
// a dozen or so, so they sit in one sorted vector: copying a card (every
// restart of the pad, every transaction) costs one allocation, not one per
// tag.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace korvex::emu {

class TagValues {
 public:
  using value_type = std::pair<std::string, std::string>;
  using const_iterator = std::vector<value_type>::const_iterator;

  TagValues() = default;
  // A tag given twice keeps its last value.
  TagValues(std::initializer_list<value_type> values) {
    values_.reserve(values.size());
    for (const auto& [tag, value] : values) (*this)[tag] = value;
  }

  // The tag's value, added empty when the tag is new.
  std::string& operator[](const std::string& tag) {
    auto at = values_.begin() + (LowerBound(tag) - values_.cbegin());
    if (at == values_.end() || at->first != tag) at = values_.insert(at, {tag, std::string()});
    return at->second;
  }
  const std::string& at(const std::string& tag) const {
    const auto v = find(tag);
    if (v == end()) throw std::out_of_range("no tag " + tag);
    return v->second;
  }
  const_iterator find(const std::string& tag) const {
    const auto v = LowerBound(tag);
    return v != end() && v->first == tag ? v : end();
  }
  size_t count(const std::string& tag) const { return find(tag) != end() ? 1 : 0; }
  const_iterator begin() const { return values_.cbegin(); }
  const_iterator end() const { return values_.cend(); }
  size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  bool operator==(const TagValues&) const = default;

 private:
  const_iterator LowerBound(const std::string& tag) const {
    return std::lower_bound(values_.cbegin(), values_.cend(), tag,
                            [](const value_type& v, const std::string& t) { return v.first < t; });
  }

  std::vector<value_type> values_;
};

}  // namespace korvex::emu
