// The socket event's numbers are the same on every host, whatever the
// system's own codes.
#include "host/socket_error_numbers.h"

#include <gtest/gtest.h>

#include <asio/error.hpp>
#include <cerrno>
#include <string>

namespace korvex {
namespace {

// The number a refused connect gives in the system's own category.
#ifdef _WIN32
constexpr int kSystemRefused = WSAECONNREFUSED;
#else
constexpr int kSystemRefused = ECONNREFUSED;
#endif

TEST(SocketErrorNumbers, SystemCodesBecomeTheEventsNumbers) {
  const struct {
    std::error_code code;
    int32_t number;
    std::string text;
  } cases[] = {
      {asio::error::connection_refused, 10061, "Connection is forcefully rejected"},
      {std::error_code(kSystemRefused, std::system_category()), 10061,
       "Connection is forcefully rejected"},
      {asio::error::host_not_found, 11001, "Authoritative answer: Host not found"},
      {asio::error::host_not_found_try_again, 11002, "Non-authoritative answer: Host not found"},
      {asio::error::timed_out, 10060, "Connection timed out"},
      {asio::error::connection_reset, 10054, "Connection is reset by remote side"},
      {asio::error::broken_pipe, 10054, "Connection is reset by remote side"},
      {asio::error::network_unreachable, 10051, "Network is unreachable"},
      {asio::error::invalid_argument, 10022, "Invalid argument"},
#ifdef _WIN32
      // Outside the table a Winsock number is reported as itself.
      {std::error_code(WSAEHOSTDOWN, std::system_category()), WSAEHOSTDOWN,
       std::system_category().message(WSAEHOSTDOWN)},
#else
      {std::error_code(ENOTSUP, std::system_category()), 10053,
       "Connection is aborted due to timeout or other failure"},
#endif
      // An errno value is not the Windows number it equals (109 there: a broken pipe).
      {std::error_code(EDESTADDRREQ, std::generic_category()), 10053,
       "Connection is aborted due to timeout or other failure"},
  };
  for (const auto& c : cases) {
    const auto mapped = MapSocketError(c.code);
    EXPECT_EQ(mapped.number, c.number) << c.code.message();
    EXPECT_EQ(mapped.text, c.text) << c.code.message();
  }
}

}  // namespace
}  // namespace korvex
