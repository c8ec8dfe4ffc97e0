// The router: every configured port on one io_context, so that one thread
// serves all devices.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <vector>

#include "router/allow_list.h"
#include "router/device_port.h"
#include "router/router_config.h"

namespace korvex::router {

class Router {
 public:
  // `config` must have passed ValidateRouterConfig.
  Router(asio::io_context& io, RouterConfig config, RouterLog& log);
  ~Router();

  // Opens every device and listens on every port; false, with the first
  // failure (naming its device or address) in `error`, when any fails.
  bool Start(std::string& error);
  void Stop();
  // The port the index-th entry listens on (the one chosen for port 0).
  uint16_t LocalPort(size_t index) const { return ports_.at(index)->LocalPort(); }

 private:
  asio::io_context& io_;
  RouterConfig config_;
  RouterLog& log_;
  AllowList allow_;
  std::vector<std::unique_ptr<DevicePort>> ports_;
};

}  // namespace korvex::router
