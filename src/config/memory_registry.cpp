#include "korvex/memory_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace korvex {

std::string RegistryRootName(RegHandle root) {
  switch (root) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    case 0x80000005u: return "HKEY_CURRENT_CONFIG";
    default: return "";
  }
}

// One pass and one string: every key and value name goes through here on each
// lookup.
std::string MemoryRegistry::Normal(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    // Redundant separators do not name another key.
    if (c == '\\' && !out.empty() && out.back() == '\\') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

// Every ancestor of a key exists as well, as in a real hive, but only the keys
// added are stored: an ancestor is found through its descendants (Exists), so
// that a path of d levels costs its own length and not d copies of its
// prefixes, which grew with the square of a deep path.
void MemoryRegistry::AddKey(const std::string& keyPath) {
  keys_[Normal(keyPath)];
}

bool MemoryRegistry::Exists(const std::string& normalPath) const {
  if (keys_.contains(normalPath)) return true;
  const std::string below = normalPath + '\\';
  const auto it = keys_.lower_bound(below);
  return it != keys_.end() && it->first.compare(0, below.size(), below) == 0;
}

void MemoryRegistry::SetValue(const std::string& keyPath, const std::string& name,
                              const std::string& bytes, uint32_t type) {
  SetValueIn(Values(keyPath), name, bytes, type);
}

MemoryRegistry::ValueMap& MemoryRegistry::Values(const std::string& keyPath) {
  return keys_[Normal(keyPath)];
}

void MemoryRegistry::SetValueIn(ValueMap& values, const std::string& name, const std::string& bytes,
                                uint32_t type) {
  values[Normal(name)] = Value{type, bytes};
}

void MemoryRegistry::DeleteValueIn(ValueMap& values, const std::string& name) {
  values.erase(Normal(name));
}

void MemoryRegistry::DeleteKey(const std::string& keyPath) {
  const std::string n = Normal(keyPath);
  // The parent stays when its last descendant goes.
  if (const size_t slash = n.rfind('\\'); slash != std::string::npos && Exists(n)) {
    keys_[n.substr(0, slash)];
  }
  // A sibling such as "a\b x" sorts between "a\b" and "a\b\c" and stays.
  for (auto it = keys_.lower_bound(n);
       it != keys_.end() && it->first.compare(0, n.size(), n) == 0;) {
    const bool below = it->first.size() == n.size() || it->first[n.size()] == '\\';
    it = below ? keys_.erase(it) : std::next(it);
  }
}

void MemoryRegistry::DeleteValue(const std::string& keyPath, const std::string& name) {
  if (auto k = keys_.find(Normal(keyPath)); k != keys_.end()) k->second.erase(Normal(name));
}

void MemoryRegistry::FailOpen(const std::string& keyPath, int32_t status) {
  openFailures_[Normal(keyPath)] = status;
}

void MemoryRegistry::FailQuery(const std::string& keyPath, const std::string& name,
                               int32_t status) {
  queryFailures_[Normal(keyPath) + '\x01' + Normal(name)] = status;
}

void MemoryRegistry::Clear() {
  keys_.clear();
  openFailures_.clear();
  queryFailures_.clear();
}

bool MemoryRegistry::HasKey(const std::string& keyPath) const {
  return Exists(Normal(keyPath));
}

int32_t MemoryRegistry::OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                                RegHandle& opened) {
  (void)access;
  const std::string rootName = RegistryRootName(root);
  if (rootName.empty()) return kRegInvalidParameter;
  const std::string path = Normal(subKey.empty() ? rootName : rootName + "\\" + subKey);
  if (auto f = openFailures_.find(path); f != openFailures_.end()) return f->second;
  if (!Exists(path)) return kRegFileNotFound;
  opened = nextHandle_++;
  handles_[opened] = path;
  return kRegSuccess;
}

int32_t MemoryRegistry::QueryValue(RegHandle key, const std::string& valueName, uint32_t& type,
                                   char* data, uint32_t& size) {
  const auto h = handles_.find(key);
  if (h == handles_.end()) return 6;  // ERROR_INVALID_HANDLE
  if (auto f = queryFailures_.find(h->second + '\x01' + Normal(valueName));
      f != queryFailures_.end()) {
    return f->second;
  }
  if (!Exists(h->second)) return 1018;  // ERROR_KEY_DELETED
  // An ancestor known only through its descendants holds no value.
  const auto k = keys_.find(h->second);
  if (k == keys_.end()) return kRegFileNotFound;
  const auto v = k->second.find(Normal(valueName));
  if (v == k->second.end()) return kRegFileNotFound;
  type = v->second.type;
  const auto needed = static_cast<uint32_t>(v->second.bytes.size());
  if (data == nullptr) {
    size = needed;
    return kRegSuccess;
  }
  if (size < needed) {
    size = needed;
    return kRegMoreData;
  }
  std::memcpy(data, v->second.bytes.data(), needed);
  size = needed;
  return kRegSuccess;
}

int32_t MemoryRegistry::CloseKey(RegHandle key) {
  return handles_.erase(key) != 0 ? kRegSuccess : 6;
}

}  // namespace korvex
