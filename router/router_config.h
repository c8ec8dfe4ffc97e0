// What a router serves: one listening port per serial device, the clients it
// accepts and how much it logs. Built from the command line for one device,
// or read from a JSON file for several (see README.md, "Real PIN pads").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "router/allow_list.h"
#include "router/router_log.h"
#include "router/serial_line.h"

namespace korvex::router {

struct PortConfig {
  std::string listenAddress = "127.0.0.1";
  uint16_t listenPort = 0;  // 0: any free port (tests)
  std::string device;
  FlowControl flow = FlowControl::None;
  bool replace = false;  // a new connection replaces the open one instead of being refused
  std::string traceDir;  // a trace file per connection in this folder; "" for none
};

struct RouterConfig {
  std::vector<PortConfig> ports;
  std::vector<std::string> allow = kLoopbackOnly;
  LogLevel logLevel = LogLevel::Info;
  // A client that connects and sends no complete line command in this time
  // is dropped, so that it cannot hold the device.
  int commandTimeoutMs = 10000;
};

// "ADDRESS:PORT", "[IPv6]:PORT" or a bare "PORT" (on 127.0.0.1). The address
// must be numeric: the router binds, it does not resolve names.
bool ParseListen(const std::string& text, PortConfig& port, std::string& error);

// Reads the JSON configuration in `text`; `name` prefixes the error.
bool ParseRouterConfig(const std::string& text, const std::string& name, RouterConfig& config,
                       std::string& error);
bool LoadRouterConfig(const std::string& path, RouterConfig& config, std::string& error);

// Checks what both sources share: at least one port, distinct ports and
// devices, a valid allow-list.
bool ValidateRouterConfig(const RouterConfig& config, std::string& error);

}  // namespace korvex::router
