// The router's reading of a new TCP connection: its first 20 bytes are a
// plain-text serial setting, "SETCOMM" rate "," parity "," data bits ","
// stop bits, padded with spaces to 20 characters. Everything after it is
// relayed to the pad's serial line.
#pragma once

#include <optional>
#include <string>

namespace korvex::emu {

inline constexpr size_t kRouterCommandLength = 20;
inline const std::string kSetComm19200 = "SETCOMM19200,n,8,1  ";
inline const std::string kSetComm115200 = "SETCOMM115200,n,8,1 ";

struct SerialSetting {
  int baud = 0;
  char parity = 'n';
  int dataBits = 8;
  int stopBits = 1;
};

// Reads a 20-character command; nullopt when it is not one.
std::optional<SerialSetting> ParseRouterCommand(const std::string& command);

class RouterFront {
 public:
  enum class State { Waiting, Accepted, Rejected };

  // Takes bytes from the head of the connection. Returns the bytes that go on
  // to the serial line: nothing while the command is incomplete, everything
  // after it once accepted, everything including the would-be command when
  // rejected.
  std::string Feed(const std::string& bytes);
  State GetState() const { return state_; }
  const std::string& Command() const { return command_; }
  const std::optional<SerialSetting>& Setting() const { return setting_; }

 private:
  State state_ = State::Waiting;
  std::string command_;
  std::optional<SerialSetting> setting_;
};

}  // namespace korvex::emu
