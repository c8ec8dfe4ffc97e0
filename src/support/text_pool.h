// Texts that keep their memory from one use to the next, so that building a
// trace line or copying a received unit costs no allocation once the texts
// have grown. One text per nesting level: a handler that runs inside another
// (an event raised while a unit is handled) gets its own and never writes over
// its caller's.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvex {

class TextPool {
 public:
  // A text that grew past this is given back at the end of its use.
  static constexpr size_t kKeptCapacity = 2u << 20;

  // An empty text for the lifetime of the lease.
  class Lease {
   public:
    explicit Lease(TextPool& pool) : pool_(pool), text(pool.Take()) {}
    ~Lease() { pool_.Give(text); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

   private:
    TextPool& pool_;

   public:
    std::string& text;
  };

  // The text of the pieces, in order.
  static void Join(std::string& into, std::initializer_list<std::string_view> pieces) {
    size_t size = 0;
    for (std::string_view piece : pieces) size += piece.size();
    into.clear();
    into.reserve(size);
    for (std::string_view piece : pieces) into += piece;
  }

 private:
  std::string& Take() {
    if (inUse_ == texts_.size()) texts_.push_back(std::make_unique<std::string>());
    std::string& text = *texts_[inUse_++];
    text.clear();
    return text;
  }

  void Give(std::string& text) {
    --inUse_;
    if (text.capacity() > kKeptCapacity) std::string().swap(text);
  }

  std::vector<std::unique_ptr<std::string>> texts_;
  size_t inUse_ = 0;
};

}  // namespace korvex
