#include "capi/capi_guard.h"

#include <cstring>

namespace korvex::capi {

namespace {

std::string& LastErrorText() noexcept {
  thread_local std::string text;
  return text;
}

}  // namespace

void SetLastError(const char* text) noexcept {
  try {
    LastErrorText() = text;
  } catch (...) {
    // Out of memory for the message itself: the status still tells the kind.
    LastErrorText().clear();
  }
}

const std::string& LastError() noexcept {
  return LastErrorText();
}

std::string Text(const char* data, size_t length, const char* name) {
  if (data == nullptr && length > 0) {
    throw Failure(KORVEX_E_ARGUMENT,
                  std::string(name) + " is NULL with a length of " + std::to_string(length));
  }
  return data == nullptr ? std::string() : std::string(data, length);
}

void CopyOut(const std::string& value, char* buffer, size_t capacity, size_t* length) {
  if (buffer == nullptr && capacity > 0) {
    throw Failure(KORVEX_E_ARGUMENT,
                  "buffer is NULL with a capacity of " + std::to_string(capacity));
  }
  if (length != nullptr) *length = value.size();
  const size_t copied = value.size() < capacity ? value.size() : capacity;
  if (copied > 0) std::memcpy(buffer, value.data(), copied);
  if (value.size() < capacity) buffer[value.size()] = '\0';
  if (value.size() > capacity) {
    throw Failure(KORVEX_E_BUFFER, "a buffer of " + std::to_string(capacity) +
                                       " bytes is too small for " + std::to_string(value.size()));
  }
}

}  // namespace korvex::capi

extern "C" {

const char* korvex_version(void) {
  return KORVEX_VERSION;
}

// Copies without going through CopyOut: a buffer too small for the message
// must not replace the message.
int korvex_last_error(char* buffer, size_t capacity, size_t* length) {
  if (buffer == nullptr && capacity > 0) return KORVEX_E_ARGUMENT;
  const std::string& text = korvex::capi::LastError();
  if (length != nullptr) *length = text.size();
  const size_t copied = text.size() < capacity ? text.size() : capacity;
  if (copied > 0) std::memcpy(buffer, text.data(), copied);
  if (text.size() < capacity) buffer[text.size()] = '\0';
  return text.size() > capacity ? KORVEX_E_BUFFER : KORVEX_OK;
}

}  // extern "C"
