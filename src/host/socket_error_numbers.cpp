#include "host/socket_error_numbers.h"

#include <asio/error.hpp>
#include <cstring>
#include <utility>

namespace korvex {
namespace {

// Asio's categories are objects of its header-only code: on Windows the DLL
// and each program using it hold one of their own, so they are told apart by
// name, not by address.
bool SameCategory(const std::error_category& a, const std::error_category& b) {
  return a == b || std::strcmp(a.name(), b.name()) == 0;
}

// A code from another category with the same value is the same error when
// both categories number the same way. On POSIX Asio's system errors are
// errno values, as both of the standard library's categories are. On Windows
// they are the system's own numbers (Winsock's 10061 for a refused
// connection, which is what the event reports), and the generic category's
// errno values are another numbering.
bool IsErrno(const std::error_category& c) {
#ifdef _WIN32
  return SameCategory(c, asio::error::get_system_category()) || c == std::system_category();
#else
  return SameCategory(c, asio::error::get_system_category()) || c == std::system_category() ||
         c == std::generic_category();
#endif
}

// Winsock's own numbers lie in this range; on Windows a system code there that
// the table does not list is reported as itself, with the system's text.
bool IsWinsockNumber(const std::error_code& ec) {
#ifdef _WIN32
  return IsErrno(ec.category()) && ec.value() >= 10000 && ec.value() < 12000;
#else
  (void)ec;
  return false;
#endif
}

bool Same(const std::error_code& ec, const std::error_code& code) {
  if (ec.value() != code.value()) return false;
  if (SameCategory(ec.category(), code.category())) return true;
  return IsErrno(ec.category()) && IsErrno(code.category());
}

}  // namespace

SocketErrorNumber MapSocketError(const std::error_code& ec) {
  namespace e = asio::error;
  static const std::pair<std::error_code, SocketErrorNumber> kNumbers[] = {
      {e::access_denied, {10013, "Permission denied"}},
      {e::invalid_argument, {10022, "Invalid argument"}},
      {e::in_progress, {10036, "A blocking operation is in progress"}},
      {e::service_not_found, {10043, "The specified port is not supported"}},
      {e::address_in_use, {10048, "Address in use"}},
      {e::network_down, {10050, "Network is down"}},
      {e::network_unreachable, {10051, "Network is unreachable"}},
      {e::network_reset, {10052, "Connection is reset by the network"}},
      {e::connection_aborted, {10053, "Connection is aborted due to timeout or other failure"}},
      {e::connection_reset, {10054, "Connection is reset by remote side"}},
      {e::broken_pipe, {10054, "Connection is reset by remote side"}},
      {e::no_buffer_space, {10055, "No buffer space is available"}},
      {e::already_connected, {10056, "Socket is already connected"}},
      {e::not_connected, {10057, "Socket is not connected"}},
      {e::shut_down, {10058, "Socket has been shut down"}},
      {e::timed_out, {10060, "Connection timed out"}},
      {e::connection_refused, {10061, "Connection is forcefully rejected"}},
      {e::host_unreachable, {10065, "Host is unreachable"}},
      {e::host_not_found, {11001, "Authoritative answer: Host not found"}},
      {e::host_not_found_try_again, {11002, "Non-authoritative answer: Host not found"}},
      {e::no_recovery, {11003, "Non-recoverable errors"}},
      {e::no_data, {11004, "Valid name, no data record of requested type"}},
  };
  for (const auto& [code, number] : kNumbers) {
    if (Same(ec, code)) return number;
  }
  if (IsWinsockNumber(ec)) return {ec.value(), ec.message()};
  return {10053, "Connection is aborted due to timeout or other failure"};
}

}  // namespace korvex
