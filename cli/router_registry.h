// `korvex host --router HOST:PORT [--com N]`: the router address given on the
// command line instead of in a registry file. Every PIN pad's key
// (...\PinPads\<name>) answers with it, so InitFromReg finds it whatever name
// and registry key the POS program sets.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "korvex/memory_registry.h"

namespace korvex::cli {

struct RouterAddress {
  std::string host;
  std::string port;  // 1-65535, as decimal text
};

// "HOST:PORT" or "[IPv6]:PORT"; nullopt with the reason in `error`.
std::optional<RouterAddress> ParseRouterAddress(const std::string& text, std::string& error);

class RouterRegistry : public RegistryBackend {
 public:
  RouterRegistry(RouterAddress address, int com);

  int32_t OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                  RegHandle& opened) override;
  int32_t QueryValue(RegHandle key, const std::string& valueName, uint32_t& type, char* data,
                     uint32_t& size) override;
  int32_t CloseKey(RegHandle key) override { return tree_.CloseKey(key); }

 private:
  RouterAddress address_;
  int com_;
  MemoryRegistry tree_;
};

}  // namespace korvex::cli
