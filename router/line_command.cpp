#include "router/line_command.h"

#include <array>
#include <cctype>
#include <utility>

namespace korvex::router {
namespace {

constexpr std::string_view kPrefix = "SETCOMM";

constexpr std::array<std::pair<int, speed_t>, 10> kSpeeds{{{1200, B1200},
                                                           {2400, B2400},
                                                           {4800, B4800},
                                                           {9600, B9600},
                                                           {19200, B19200},
                                                           {38400, B38400},
                                                           {57600, B57600},
                                                           {115200, B115200},
                                                           {230400, B230400},
                                                           {460800, B460800}}};

// Reads up to `maxDigits` decimal digits at `pos`; nullopt when there is none.
std::optional<int> ReadNumber(std::string_view s, size_t& pos, size_t maxDigits) {
  const size_t start = pos;
  int value = 0;
  while (pos < s.size() && pos - start < maxDigits &&
         std::isdigit(static_cast<unsigned char>(s[pos]))) {
    value = value * 10 + (s[pos++] - '0');
  }
  if (pos == start) return std::nullopt;
  return value;
}

bool Comma(std::string_view s, size_t& pos) {
  if (pos >= s.size() || s[pos] != ',') return false;
  ++pos;
  return true;
}

LineCommand Refuse(std::string error) {
  return {std::nullopt, std::move(error)};
}

}  // namespace

std::optional<speed_t> BaudSpeed(int baud) {
  for (const auto& [rate, speed] : kSpeeds) {
    if (rate == baud) return speed;
  }
  return std::nullopt;
}

bool CouldBeLineCommand(std::string_view head) {
  const size_t n = std::min(head.size(), kPrefix.size());
  return head.substr(0, n) == kPrefix.substr(0, n);
}

LineCommand ParseLineCommand(std::string_view command) {
  if (command.size() != kLineCommandLength) {
    return Refuse("the command is " + std::to_string(command.size()) + " bytes, not " +
                  std::to_string(kLineCommandLength));
  }
  if (!command.starts_with(kPrefix)) return Refuse("it does not start with SETCOMM");
  LineSetting s;
  size_t pos = kPrefix.size();
  const auto baud = ReadNumber(command, pos, 7);
  if (!baud || !Comma(command, pos)) return Refuse("no baud rate followed by ','");
  if (!BaudSpeed(*baud)) return Refuse("unsupported baud rate " + std::to_string(*baud));
  s.baud = *baud;
  if (pos >= command.size()) return Refuse("no parity");
  s.parity = static_cast<char>(std::tolower(static_cast<unsigned char>(command[pos++])));
  if (s.parity != 'n' && s.parity != 'e' && s.parity != 'o') {
    return Refuse("unsupported parity '" + std::string(1, command[pos - 1]) + "' (n, e or o)");
  }
  const auto dataBits = Comma(command, pos) ? ReadNumber(command, pos, 1) : std::nullopt;
  if (!dataBits || *dataBits < 5 || *dataBits > 8) return Refuse("unsupported data bits (5 to 8)");
  s.dataBits = *dataBits;
  const auto stopBits = Comma(command, pos) ? ReadNumber(command, pos, 1) : std::nullopt;
  if (!stopBits || (*stopBits != 1 && *stopBits != 2))
    return Refuse("unsupported stop bits (1 or 2)");
  s.stopBits = *stopBits;
  // The padding makes the length fixed; anything else there means the client
  // counted the command differently and its first bytes would be lost.
  if (command.find_first_not_of(' ', pos) != std::string_view::npos) {
    return Refuse("bytes other than spaces after the stop bits (the command is " +
                  std::to_string(kLineCommandLength) + " bytes, padded with spaces)");
  }
  return {s, ""};
}

std::string SettingText(const LineSetting& s) {
  return std::to_string(s.baud) + "," + s.parity + "," + std::to_string(s.dataBits) + "," +
         std::to_string(s.stopBits);
}

}  // namespace korvex::router
