// A registry held in memory: the backend of the simulated host, and the tree
// into which registry export files are read.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "korvex/registry.h"

namespace korvex {

class MemoryRegistry : public RegistryBackend {
 public:
  // Full key paths start with the root name, e.g.
  // "HKEY_LOCAL_MACHINE\SOFTWARE\Shop\PinPads\P1"; case does not matter.
  void AddKey(const std::string& keyPath);
  // Creates the key when missing. `type` 1 REG_SZ, 3 REG_BINARY, 4 REG_DWORD.
  void SetValue(const std::string& keyPath, const std::string& name, const std::string& bytes,
                uint32_t type = 1);
  // Removes the key with every key below it; missing keys are no error.
  void DeleteKey(const std::string& keyPath);
  void DeleteValue(const std::string& keyPath, const std::string& name);

  struct Value {
    uint32_t type = 1;
    std::string bytes;
  };
  using ValueMap = std::map<std::string, Value>;  // normalised name -> value
  // The values of a key, created with it when missing; valid until the key is
  // deleted. A reader setting many values under one long path finds the key
  // once instead of once per value.
  ValueMap& Values(const std::string& keyPath);
  static void SetValueIn(ValueMap& values, const std::string& name, const std::string& bytes,
                         uint32_t type);
  static void DeleteValueIn(ValueMap& values, const std::string& name);
  // Makes OpenKey of this path (or QueryValue of this value) fail with `status`;
  // used to exercise the unexpected-failure paths.
  void FailOpen(const std::string& keyPath, int32_t status);
  void FailQuery(const std::string& keyPath, const std::string& name, int32_t status);
  void Clear();

  // Keys opened and not yet closed; a correct caller leaves none behind.
  size_t OpenHandleCount() const { return handles_.size(); }
  bool HasKey(const std::string& keyPath) const;

  int32_t OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                  RegHandle& opened) override;
  int32_t QueryValue(RegHandle key, const std::string& valueName, uint32_t& type, char* data,
                     uint32_t& size) override;
  int32_t CloseKey(RegHandle key) override;

 private:
  static std::string Normal(const std::string& path);
  // The key was added, or is the ancestor of one that was.
  bool Exists(const std::string& normalPath) const;
  std::map<std::string, ValueMap> keys_;  // normalised path -> values
  std::map<std::string, int32_t> openFailures_;
  std::map<std::string, int32_t> queryFailures_;  // path + "\x01" + name
  std::map<RegHandle, std::string> handles_;
  RegHandle nextHandle_ = 0x1000;
};

// Root handle -> "HKEY_LOCAL_MACHINE" and friends; "" for an unknown handle.
std::string RegistryRootName(RegHandle root);

}  // namespace korvex
