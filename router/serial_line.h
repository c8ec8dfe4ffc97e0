// The serial device under the relay, set up with termios: raw bytes at the
// requested rate and framing, nothing added, removed or delayed by the driver.
#pragma once

#include <termios.h>

#include <optional>
#include <string>

#include "router/line_command.h"

namespace korvex::router {

enum class FlowControl { None, RtsCts, XonXoff };

std::optional<FlowControl> ParseFlowControl(const std::string& text);  // none, rtscts, xonxoff

// Opens `path` non-blocking, without making it the controlling terminal, and
// claims it exclusively so that no other program interleaves its own bytes.
// Returns the descriptor, or -1 with the reason in `error`.
int OpenSerial(const std::string& path, std::string& error);

// Turns `t` into raw mode with `setting` and the given flow control (modem
// lines ignored otherwise).
void SetLine(termios& t, const LineSetting& setting, FlowControl flow);

// Applies `setting` in raw mode with the given flow control (modem lines
// ignored otherwise), then discards what the pad sent before this connection.
bool ApplyLine(int fd, const LineSetting& setting, FlowControl flow, std::string& error);

// Asks the driver to hand over received bytes at once instead of after its
// own buffering delay. Devices without the setting (pseudo-terminals) refuse;
// that costs nothing, so the answer is only informative.
bool RequestLowLatency(int fd);

}  // namespace korvex::router
