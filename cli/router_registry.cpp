#include "cli/router_registry.h"

#include <algorithm>
#include <cctype>

namespace korvex::cli {
namespace {

std::string Lower(std::string s) {
  std::ranges::transform(s, s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// "...\PinPads\<name>": a PIN pad's own key.
bool IsPadKey(const std::string& subKey) {
  const size_t last = subKey.rfind('\\');
  if (last == std::string::npos || last == 0 || last + 1 == subKey.size()) return false;
  const size_t before = subKey.rfind('\\', last - 1);
  const size_t start = before == std::string::npos ? 0 : before + 1;
  return Lower(subKey.substr(start, last - start)) == "pinpads";
}

// A registry string as an export file stores it: with its terminating NUL.
std::string RegString(const std::string& text) {
  return text + '\0';
}

}  // namespace

std::optional<RouterAddress> ParseRouterAddress(const std::string& text, std::string& error) {
  const size_t colon = text.rfind(':');
  RouterAddress address;
  if (colon != std::string::npos) {
    address.host = text.substr(0, colon);
    address.port = text.substr(colon + 1);
  }
  if (address.host.size() >= 2 && address.host.front() == '[' && address.host.back() == ']') {
    address.host = address.host.substr(1, address.host.size() - 2);
  }
  const bool digits =
      !address.port.empty() && address.port.size() <= 5 &&
      std::ranges::all_of(address.port, [](unsigned char c) { return std::isdigit(c); });
  const bool hostOk =
      !address.host.empty() && (address.host.find(':') == std::string::npos || text.front() == '[');
  if (!hostOk || !digits || std::stoi(address.port) < 1 || std::stoi(address.port) > 65535) {
    error = "--router '" + text + "' is not HOST:PORT (a host name or address, port 1-65535)";
    return std::nullopt;
  }
  address.port = std::to_string(std::stoi(address.port));
  return address;
}

RouterRegistry::RouterRegistry(RouterAddress address, int com)
    : address_(std::move(address)), com_(com) {}

int32_t RouterRegistry::OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                                RegHandle& opened) {
  // Created on first use: the PIN pad's name is only known when it is read.
  const std::string path = RegistryRootName(root) + "\\" + subKey;
  if (root == kHkeyLocalMachine && IsPadKey(subKey) && !tree_.HasKey(path)) {
    tree_.SetValue(path, "RouterHost", RegString(address_.host));
    tree_.SetValue(path, "RouterPort", RegString(address_.port));
    tree_.SetValue(path, "Com", RegString(std::to_string(com_)));
  }
  return tree_.OpenKey(root, subKey, access, opened);
}

int32_t RouterRegistry::QueryValue(RegHandle key, const std::string& valueName, uint32_t& type,
                                   char* data, uint32_t& size) {
  return tree_.QueryValue(key, valueName, type, data, size);
}

}  // namespace korvex::cli
