// A callable waiting in the host's event queue: move-only, and kept inside the
// event itself when small, which the events of sockets and timers are. With
// thousands of controls on one loop every arrival is one of these; a
// std::function would allocate for most of them.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace korvex {

class QueuedEvent {
 public:
  // Callables up to this size are kept inline; larger ones on the heap.
  static constexpr size_t kInlineBytes = 48;

  QueuedEvent() = default;
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, QueuedEvent>>>
  QueuedEvent(F&& f) {  // NOLINT: implicit, as std::function
    using T = std::decay_t<F>;
    if constexpr (Fits<T>()) {
      ::new (static_cast<void*>(storage_)) T(std::forward<F>(f));
      ops_ = &kInline<T>;
    } else {
      ::new (static_cast<void*>(storage_)) T*(new T(std::forward<F>(f)));
      ops_ = &kBoxed<T>;
    }
  }
  QueuedEvent(QueuedEvent&& other) noexcept { Take(other); }
  QueuedEvent& operator=(QueuedEvent&& other) noexcept {
    if (this != &other) {
      Reset();
      Take(other);
    }
    return *this;
  }
  QueuedEvent(const QueuedEvent&) = delete;
  QueuedEvent& operator=(const QueuedEvent&) = delete;
  ~QueuedEvent() { Reset(); }

  explicit operator bool() const { return ops_ != nullptr; }
  void operator()() { ops_->run(storage_); }

 private:
  struct Ops {
    void (*run)(void* self);
    void (*move)(void* from, void* to);  // constructs `to`, destroys `from`
    void (*destroy)(void* self);
  };

  template <class T>
  static constexpr bool Fits() {
    return sizeof(T) <= kInlineBytes && alignof(T) <= alignof(std::max_align_t) &&
           std::is_nothrow_move_constructible_v<T>;
  }

  template <class T>
  static constexpr Ops kInline = {[](void* self) { (*static_cast<T*>(self))(); },
                                  [](void* from, void* to) {
                                    ::new (to) T(std::move(*static_cast<T*>(from)));
                                    static_cast<T*>(from)->~T();
                                  },
                                  [](void* self) { static_cast<T*>(self)->~T(); }};

  template <class T>
  static constexpr Ops kBoxed = {
      [](void* self) { (**static_cast<T**>(self))(); },
      [](void* from, void* to) { ::new (to) T*(*static_cast<T**>(from)); },
      [](void* self) { delete *static_cast<T**>(self); }};

  void Take(QueuedEvent& other) {
    ops_ = std::exchange(other.ops_, nullptr);
    if (ops_) ops_->move(other.storage_, storage_);
  }
  void Reset() {
    if (ops_) std::exchange(ops_, nullptr)->destroy(storage_);
  }

  alignas(std::max_align_t) unsigned char storage_[kInlineBytes];
  const Ops* ops_ = nullptr;
};

}  // namespace korvex
