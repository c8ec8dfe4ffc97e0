// Answers the bridge's input lines one at a time, in order.
//
// A call may yield to the host loop (a warm reset does, for one), and the loop
// may then deliver the next input line from inside that call. Such a line
// waits until the running call has written its return line, so answers always
// come in the order of their lines and never nest.
#pragma once

#include <vector>

#include "cli/bridge_methods.h"
#include "cli/bridge_output.h"
#include "cli/line_reader.h"

namespace korvex::cli {

class LineDispatcher {
 public:
  LineDispatcher(const MethodTable& methods, BridgeTarget& target, JsonLineWriter& out)
      : methods_(methods), target_(target), out_(out) {}

  // A line from the input; blank lines are skipped.
  void OnLine(InputLine line);
  // The input ended; no line follows.
  void OnEnd() { ended_ = true; }
  // The input ended and every line has been answered.
  bool Done() const { return ended_ && !busy_ && pending_.empty(); }

 private:
  void Answer(const InputLine& line);

  const MethodTable& methods_;
  BridgeTarget& target_;
  JsonLineWriter& out_;
  BridgeRequest request_;           // one line's call, its buffers kept for the next
  std::vector<InputLine> pending_;  // lines that came while a call ran
  bool busy_ = false;
  bool ended_ = false;
};

}  // namespace korvex::cli
