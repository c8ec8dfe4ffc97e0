// The C interface's boundary: every entry point runs its body through Guarded,
// which turns any C++ exception into a negative status and the text that
// korvex_last_error returns, so that no exception reaches a C caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>

#include "korvex/korvex_c.h"

namespace korvex::capi {

// A call the library could not make, with the status the caller gets.
class Failure : public std::runtime_error {
 public:
  Failure(int status, const std::string& message) : std::runtime_error(message), status_(status) {}
  int Status() const { return status_; }

 private:
  int status_;
};

// The text korvex_last_error gives on this thread. Never throws.
void SetLastError(const char* text) noexcept;
const std::string& LastError() noexcept;

template <typename Body>
int Guarded(Body&& body) noexcept {
  try {
    body();
    return KORVEX_OK;
  } catch (const Failure& failure) {
    SetLastError(failure.what());
    return failure.Status();
  } catch (const std::bad_alloc&) {
    SetLastError("out of memory");
    return KORVEX_E_MEMORY;
  } catch (const std::exception& e) {
    SetLastError(e.what());
    return KORVEX_E_FAILED;
  } catch (...) {
    SetLastError("unknown failure");
    return KORVEX_E_FAILED;
  }
}

// The handle or pointer, or a KORVEX_E_ARGUMENT failure naming it.
template <typename T>
T& Need(T* pointer, const char* name) {
  if (pointer == nullptr) throw Failure(KORVEX_E_ARGUMENT, std::string(name) + " is NULL");
  return *pointer;
}

// The byte string given as pointer and length; NULL with length 0 is "".
std::string Text(const char* data, size_t length, const char* name);

// Copies `value` out as the header describes; KORVEX_E_BUFFER when it does
// not fit.
void CopyOut(const std::string& value, char* buffer, size_t capacity, size_t* length);

inline void Put(int16_t* result, int16_t value) {
  if (result != nullptr) *result = value;
}

}  // namespace korvex::capi
