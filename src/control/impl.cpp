// Creation and destruction of the control, and how it reports to the host.
#include <string>

#include "control/guarded_events.h"
#include "control/korvex_impl.h"

namespace korvex {

Korvex::Impl::Impl(Host& hostRef, KorvexEvents& eventsRef)
    : host(hostRef),
      events(eventsRef),
      guardedEvents(std::make_unique<GuardedEvents>(*this)),
      stallGuardEvents(std::make_unique<StallGuardEvents>(*this)),
      Winsock1(hostRef.CreateSocket(*guardedEvents)),
      TimeoutTimer(hostRef.CreateTimer(*guardedEvents)),
      StallGuardTimer(hostRef.CreateTimer(*stallGuardEvents)) {
  TimeoutTimer->SetEnabled(false);
  StallGuardTimer->SetEnabled(false);
}

// Leaving the PIN pad's line open would strand the router connection.
Korvex::Impl::~Impl() {
  ResetConnection();
  StallGuardTimer->SetEnabled(false);
}

void Korvex::Impl::RaiseInterfaceEvent(int32_t EventType, int32_t Code, const std::string& Text) {
  LastEventCode = Code;
  int32_t type = EventType;
  int32_t code = Code;
  std::string text = Text;
  events.InterfaceEvent(type, code, text);
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel, const std::string& Text) {
  int16_t level = DebugLevel;
  std::string text = Text;
  events.DebugEvent(level, text);
}

void Korvex::Impl::DoEvents() { host.DoEvents(); }

std::string Korvex::Impl::StateReport(const std::string& function,
                                      const std::string& message) const {
  return "Function='" + function + "'; State=" + std::to_string(fState) + "; Message='" +
         message + "'.";
}

}  // namespace korvex
