// The error numbers and texts the control's socket events carry, whatever the
// host: the system's error codes differ between platforms, the numbers a POS
// program checks for do not.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

namespace korvex {

struct SocketErrorNumber {
  int32_t number;
  std::string text;
};

// The number and text for a socket or resolver error. On Windows a Winsock
// number the table does not list is passed on with the system's text; any
// other error is reported as an aborted connection (10053).
SocketErrorNumber MapSocketError(const std::error_code& ec);

}  // namespace korvex
