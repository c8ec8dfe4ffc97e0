#include "emulator/core/router_front.h"

#include <cctype>

namespace korvex::emu {
namespace {

const std::string kPrefix = "SETCOMM";

bool ReadNumber(const std::string& s, size_t& pos, int& value) {
  const size_t start = pos;
  value = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && pos - start < 7) {
    value = value * 10 + (s[pos] - '0');
    ++pos;
  }
  return pos > start;
}

bool Expect(const std::string& s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<SerialSetting> ParseRouterCommand(const std::string& command) {
  if (command.size() != kRouterCommandLength || command.compare(0, kPrefix.size(), kPrefix) != 0) {
    return std::nullopt;
  }
  SerialSetting s;
  size_t pos = kPrefix.size();
  if (!ReadNumber(command, pos, s.baud) || s.baud <= 0 || !Expect(command, pos, ',')) {
    return std::nullopt;
  }
  if (pos >= command.size()) return std::nullopt;
  s.parity = command[pos++];
  if (s.parity != 'n' && s.parity != 'e' && s.parity != 'o') return std::nullopt;
  if (!Expect(command, pos, ',') || !ReadNumber(command, pos, s.dataBits)) return std::nullopt;
  if (!Expect(command, pos, ',') || !ReadNumber(command, pos, s.stopBits)) return std::nullopt;
  while (pos < command.size() && command[pos] == ' ') ++pos;
  if (pos != command.size()) return std::nullopt;
  return s;
}

std::string RouterFront::Feed(const std::string& bytes) {
  if (state_ != State::Waiting) return bytes;
  const size_t take = std::min(bytes.size(), kRouterCommandLength - command_.size());
  command_ += bytes.substr(0, take);
  const std::string rest = bytes.substr(take);
  // A head that cannot become "SETCOMM" is refused at once.
  const size_t n = std::min(command_.size(), kPrefix.size());
  if (command_.compare(0, n, kPrefix, 0, n) != 0) {
    state_ = State::Rejected;
    return command_ + rest;
  }
  if (command_.size() < kRouterCommandLength) return "";
  setting_ = ParseRouterCommand(command_);
  if (!setting_) {
    state_ = State::Rejected;
    return command_ + rest;
  }
  state_ = State::Accepted;
  return rest;
}

}  // namespace korvex::emu
