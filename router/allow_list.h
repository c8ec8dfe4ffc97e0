// The client addresses a router accepts connections from: single addresses
// and networks ("127.0.0.1", "10.1.2.0/24", "::1").
#pragma once

#include <asio/ip/address.hpp>
#include <asio/ip/network_v4.hpp>
#include <asio/ip/network_v6.hpp>
#include <optional>
#include <string>
#include <vector>

namespace korvex::router {

// Only this machine, when nothing else is configured.
inline const std::vector<std::string> kLoopbackOnly = {"127.0.0.0/8", "::1"};

class AllowList {
 public:
  // Nullopt with the offending entry in `error` when one is not an address or network.
  static std::optional<AllowList> Parse(const std::vector<std::string>& entries,
                                        std::string& error);
  // An IPv4 client on an IPv6 socket (::ffff:a.b.c.d) counts as its IPv4 address.
  bool Allows(const asio::ip::address& client) const;

 private:
  std::vector<asio::ip::network_v4> v4_;
  std::vector<asio::ip::network_v6> v6_;
};

}  // namespace korvex::router
