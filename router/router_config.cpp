#include "router/router_config.h"

#include <asio/ip/address.hpp>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace korvex::router {
namespace {

using nlohmann::json;

bool Fail(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

bool ParsePortNumber(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return false;
  }
  const int value = std::stoi(text);
  if (value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

// The string member `key` of `object`, when present; false when it is not a string.
bool OptionalString(const json& object, const char* key, std::string& value, std::string& error) {
  if (!object.contains(key)) return true;
  if (!object[key].is_string()) {
    error = std::string("\"") + key + "\" must be a string";
    return false;
  }
  value = object[key].get<std::string>();
  return true;
}

bool OnlyKnownKeys(const json& object, const std::set<std::string>& known, std::string& error) {
  for (const auto& [key, value] : object.items()) {
    if (!known.contains(key)) {
      error = "unknown member \"" + key + "\"";
      return false;
    }
  }
  return true;
}

bool ReadPort(const json& entry, PortConfig& port, std::string& error) {
  if (!entry.is_object()) return Fail(error, "each port must be an object");
  if (!OnlyKnownKeys(entry, {"listen", "device", "flow_control", "on_busy", "trace_dir"}, error)) {
    return false;
  }
  std::string listen, flow = "none", busy = "refuse";
  if (!OptionalString(entry, "listen", listen, error) ||
      !OptionalString(entry, "device", port.device, error) ||
      !OptionalString(entry, "flow_control", flow, error) ||
      !OptionalString(entry, "on_busy", busy, error) ||
      !OptionalString(entry, "trace_dir", port.traceDir, error)) {
    return false;
  }
  if (listen.empty() || port.device.empty()) {
    return Fail(error, "each port needs \"listen\" and \"device\"");
  }
  if (!ParseListen(listen, port, error)) return false;
  const auto parsedFlow = ParseFlowControl(flow);
  if (!parsedFlow) return Fail(error, "\"flow_control\" must be none, rtscts or xonxoff");
  port.flow = *parsedFlow;
  if (busy != "refuse" && busy != "replace") {
    return Fail(error, "\"on_busy\" must be refuse or replace");
  }
  port.replace = busy == "replace";
  return true;
}

bool ReadConfig(const json& root, RouterConfig& config, std::string& error) {
  if (!root.is_object()) return Fail(error, "the configuration must be a JSON object");
  if (!OnlyKnownKeys(root, {"ports", "allow", "log_level", "command_timeout_ms"}, error)) {
    return false;
  }
  std::string level = "info";
  if (!OptionalString(root, "log_level", level, error)) return false;
  const auto parsedLevel = ParseLogLevel(level);
  if (!parsedLevel) return Fail(error, "\"log_level\" must be error, warning, info or debug");
  config.logLevel = *parsedLevel;
  if (root.contains("command_timeout_ms")) {
    const json& t = root["command_timeout_ms"];
    if (!t.is_number_integer() || t.get<int64_t>() < 1 || t.get<int64_t>() > 3600000) {
      return Fail(error, "\"command_timeout_ms\" must be an integer from 1 to 3600000");
    }
    config.commandTimeoutMs = t.get<int>();
  }
  if (root.contains("allow")) {
    const json& allow = root["allow"];
    if (!allow.is_array()) return Fail(error, "\"allow\" must be an array of addresses");
    config.allow.clear();
    for (const json& a : allow) {
      if (!a.is_string()) return Fail(error, "\"allow\" must be an array of addresses");
      config.allow.push_back(a.get<std::string>());
    }
  }
  if (!root.contains("ports") || !root["ports"].is_array()) {
    return Fail(error, "\"ports\" must be an array");
  }
  for (size_t i = 0; i < root["ports"].size(); ++i) {
    PortConfig port;
    if (!ReadPort(root["ports"][i], port, error)) {
      error = "ports[" + std::to_string(i) + "]: " + error;
      return false;
    }
    config.ports.push_back(port);
  }
  return true;
}

}  // namespace

bool ParseListen(const std::string& text, PortConfig& port, std::string& error) {
  std::string address = "127.0.0.1";
  std::string number = text;
  if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    address = text.substr(0, colon);
    number = text.substr(colon + 1);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
      address = address.substr(1, address.size() - 2);
    }
  }
  asio::error_code ec;
  asio::ip::make_address(address, ec);
  if (ec || !ParsePortNumber(number, port.listenPort)) {
    error = "listen address '" + text + "' is not ADDRESS:PORT (a numeric address, port 0-65535)";
    return false;
  }
  port.listenAddress = address;
  return true;
}

bool ParseRouterConfig(const std::string& text, const std::string& name, RouterConfig& config,
                       std::string& error) {
  const json root = json::parse(text, nullptr, false);
  if (root.is_discarded()) {
    error = name + ": not valid JSON";
    return false;
  }
  RouterConfig read;
  if (!ReadConfig(root, read, error) || !ValidateRouterConfig(read, error)) {
    error = name + ": " + error;
    return false;
  }
  config = std::move(read);
  return true;
}

bool LoadRouterConfig(const std::string& path, RouterConfig& config, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the configuration file";
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  return ParseRouterConfig(text.str(), path, config, error);
}

bool ValidateRouterConfig(const RouterConfig& config, std::string& error) {
  if (config.ports.empty()) return Fail(error, "no port to serve");
  std::set<std::string> listens, devices;
  for (const PortConfig& p : config.ports) {
    const std::string listen = p.listenAddress + ":" + std::to_string(p.listenPort);
    if (p.listenPort != 0 && !listens.insert(listen).second) {
      return Fail(error, "port " + listen + " is listed twice");
    }
    if (!devices.insert(p.device).second) {
      return Fail(error, "device " + p.device + " is listed twice");
    }
  }
  return AllowList::Parse(config.allow, error).has_value();
}

}  // namespace korvex::router
