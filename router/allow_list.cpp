#include "router/allow_list.h"

namespace korvex::router {

std::optional<AllowList> AllowList::Parse(const std::vector<std::string>& entries,
                                          std::string& error) {
  AllowList list;
  for (const std::string& entry : entries) {
    asio::error_code ec;
    const bool network = entry.find('/') != std::string::npos;
    if (entry.find(':') == std::string::npos) {
      const auto net = network ? asio::ip::make_network_v4(entry, ec)
                               : asio::ip::network_v4(asio::ip::make_address_v4(entry, ec), 32);
      if (!ec) list.v4_.push_back(net);
    } else {
      const auto net = network ? asio::ip::make_network_v6(entry, ec)
                               : asio::ip::network_v6(asio::ip::make_address_v6(entry, ec), 128);
      if (!ec) list.v6_.push_back(net);
    }
    if (ec) {
      error = "'" + entry + "' is not an address or a network (ADDRESS/BITS)";
      return std::nullopt;
    }
  }
  return list;
}

bool AllowList::Allows(const asio::ip::address& client) const {
  asio::ip::address address = client;
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
  }
  if (address.is_v4()) {
    const auto a = address.to_v4();
    for (const auto& net : v4_) {
      if (asio::ip::network_v4(a, 32).is_subnet_of(net) || net.address() == a) return true;
    }
    return false;
  }
  const auto a = address.to_v6();
  for (const auto& net : v6_) {
    if (asio::ip::network_v6(a, 128).is_subnet_of(net) || net.address() == a) return true;
  }
  return false;
}

}  // namespace korvex::router
