// Faults the emulator injects on purpose, chosen by the scenario or a test.
// A rule watches the frames whose text starts with `message` (every frame
// when empty): incoming frames from the control for Nak, DropAck, FailStatus,
// Stall and Close; the pad's own outgoing frames for CorruptCheck and
// CorruptRandom. It applies from the `occurrence`-th matching frame (1-based)
// to `count` frames (0: every one from there on).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvex::emu {

enum class FaultKind {
  CorruptCheck,   // send the frame with a wrong block check
  CorruptRandom,  // wrong block check on any outgoing frame with `probability`
  Nak,            // answer a good incoming frame with NAK and drop it
  DropAck,        // handle the frame but send no ACK for it
  FailStatus,     // answer the request with `status` instead of handling it
  Stall,          // read nothing from the line for `durationMs` (0: for good)
  Close,          // close the connection instead of answering
};

struct FaultRule {
  FaultKind kind = FaultKind::Nak;
  std::string message;
  int occurrence = 1;
  int count = 1;
  std::string status;      // FailStatus
  int64_t durationMs = 0;  // Stall
  double probability = 0;  // CorruptRandom
  uint32_t seed = 1;       // CorruptRandom
};

std::string FaultKindName(FaultKind kind);
std::optional<FaultKind> FaultKindFromName(const std::string& name);

}  // namespace korvex::emu
