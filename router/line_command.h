// The line command that opens every connection to the router: "SETCOMM",
// then baud rate, parity, data bits and stop bits separated by commas, padded
// with spaces to exactly 20 bytes ("SETCOMM19200,n,8,1  ").
#pragma once

#include <termios.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvex::router {

inline constexpr size_t kLineCommandLength = 20;

struct LineSetting {
  int baud = 0;
  char parity = 'n';  // 'n', 'e' or 'o'
  int dataBits = 8;
  int stopBits = 1;

  bool operator==(const LineSetting&) const = default;
};

struct LineCommand {
  std::optional<LineSetting> setting;
  std::string error;  // why the command is refused; "" when accepted
};

// Reads a complete command of kLineCommandLength bytes.
LineCommand ParseLineCommand(std::string_view command);

// Whether the first bytes of a connection can still grow into a command, so
// that a client speaking something else is refused without waiting for 20 bytes.
bool CouldBeLineCommand(std::string_view head);

// The termios speed of a supported baud rate.
std::optional<speed_t> BaudSpeed(int baud);

// "19200,n,8,1", for the log.
std::string SettingText(const LineSetting& setting);

}  // namespace korvex::router
