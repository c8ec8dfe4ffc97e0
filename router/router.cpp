#include "router/router.h"

namespace korvex::router {

Router::Router(asio::io_context& io, RouterConfig config, RouterLog& log)
    : io_(io), config_(std::move(config)), log_(log) {
  std::string ignored;  // validated before
  allow_ = AllowList::Parse(config_.allow, ignored).value_or(AllowList{});
}

Router::~Router() {
  Stop();
}

bool Router::Start(std::string& error) {
  for (const PortConfig& port : config_.ports) {
    ports_.push_back(
        std::make_unique<DevicePort>(io_, port, allow_, log_, config_.commandTimeoutMs));
    if (!ports_.back()->Start(error)) {
      Stop();
      return false;
    }
  }
  return true;
}

void Router::Stop() {
  for (auto& port : ports_) port->Stop();
}

}  // namespace korvex::router
