// The two events through which a Korvex control reports to its host.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// Implemented by the host. Both events are raised synchronously on the host's
// thread, in the order the protocol produces them. The arguments are passed by
// reference, as the automation interface declares them; a handler may read them
// but the control does not look at them afterwards.
class KorvexEvents {
 public:
  virtual ~KorvexEvents() = default;

  // EventType 0 success or progress, 1 error or refusal, 3 socket error,
  // 5 track data. Code and Text depend on the event.
  virtual void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) = 0;

  // Trace text graded by level: 2 raw data ... 10 user-facing progress texts.
  // The control never filters by level.
  virtual void DebugEvent(int16_t& DebugLevel, std::string& Text) = 0;

  // Asked before each DebugEvent: a host that never reads the traces says no,
  // and the control then builds no trace text at all. What a host that says
  // yes receives does not depend on this.
  virtual bool WantsDebugEvents() const { return true; }
};

}  // namespace korvex
