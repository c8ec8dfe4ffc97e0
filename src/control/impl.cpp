// Creation and destruction of the control, and how it reports to the host.
#include <charconv>
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

// The host gets the text by reference and may change it: it is a copy, in a
// reused text so that raising an event costs no new memory.
void Korvex::Impl::RaiseInterfaceEvent(int32_t EventType, int32_t Code, const std::string& Text) {
  RaiseInterfaceEvent(EventType, Code, std::initializer_list<std::string_view>{Text});
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel, const std::string& Text) {
  if (!TracesWanted()) return;
  RaiseDebugEvent(DebugLevel, std::initializer_list<std::string_view>{Text});
}

// Only this control's own socket and reply-timer events (they reach it through
// guardedEvents): another control on the same host thread never runs inside
// this one's handlers. The stall guard's tick waits for the host's loop.
void Korvex::Impl::DoEvents() {
  host.DoEventsOf(Host::OwnerOf(*guardedEvents));
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel, std::string_view Text, int64_t Number) {
  if (!TracesWanted()) return;
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, Number);
  RaiseDebugEvent(DebugLevel, {Text, std::string_view(digits, written.ptr - digits)});
}

void Korvex::Impl::RaiseInterfaceEvent(int32_t EventType, int32_t Code,
                                       std::initializer_list<std::string_view> Text) {
  LastEventCode = Code;
  int32_t type = EventType;
  int32_t code = Code;
  TextPool::Lease text(texts);
  TextPool::Join(text.text, Text);
  events.InterfaceEvent(type, code, text.text);
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel,
                                   std::initializer_list<std::string_view> Text) {
  if (!TracesWanted()) return;
  int16_t level = DebugLevel;
  TextPool::Lease text(texts);
  TextPool::Join(text.text, Text);
  events.DebugEvent(level, text.text);
}

std::string Korvex::Impl::StateReport(const std::string& function,
                                      const std::string& message) const {
  return "Function='" + function + "'; State=" + std::to_string(fState) + "; Message='" + message +
         "'.";
}

}  // namespace korvex
