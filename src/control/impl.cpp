// Creation and destruction of the control, and how it reports to the host.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

Korvex::Impl::Impl(Host& hostRef, KorvexEvents& eventsRef)
    : host(hostRef),
      events(eventsRef),
      Winsock1(hostRef.CreateSocket(*this)),
      TimeoutTimer(hostRef.CreateTimer(*this)) {
  TimeoutTimer->SetEnabled(false);
}

// Leaving the PIN pad's line open would strand the router connection.
Korvex::Impl::~Impl() {
  ResetConnection();
}

// The host gets the text by reference and may change it: it is a copy, in a
// reused text so that raising an event costs no new memory.
void Korvex::Impl::RaiseInterfaceEvent(int32_t EventType, int32_t Code, const std::string& Text) {
  RaiseInterfaceEvent(EventType, Code, std::initializer_list<std::string_view>{Text});
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel, const std::string& Text) {
  RaiseDebugEvent(DebugLevel, std::initializer_list<std::string_view>{Text});
}

void Korvex::Impl::RaiseInterfaceEvent(int32_t EventType, int32_t Code,
                                       std::initializer_list<std::string_view> Text) {
  int32_t type = EventType;
  int32_t code = Code;
  TextPool::Lease text(texts);
  TextPool::Join(text.text, Text);
  events.InterfaceEvent(type, code, text.text);
}

void Korvex::Impl::RaiseDebugEvent(int16_t DebugLevel,
                                   std::initializer_list<std::string_view> Text) {
  int16_t level = DebugLevel;
  TextPool::Lease text(texts);
  TextPool::Join(text.text, Text);
  events.DebugEvent(level, text.text);
}

void Korvex::Impl::DoEvents() {
  host.DoEvents();
}

std::string Korvex::Impl::StateReport(const std::string& function,
                                      const std::string& message) const {
  return "Function='" + function + "'; State=" + std::to_string(fState) + "; Message='" + message +
         "'.";
}

}  // namespace korvex
