// A control wired through SimHost and the router to a PIN pad played by the
// test, plus the trace lines the link raises, spelled out for expectations.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "harness/scripted_peer.h"

namespace korvex::testing {

using Events = std::vector<RecordedEvent>;

inline const std::string kAck = "\x06", kNak = "\x15", kEnq = "\x05", kEot = "\x04", kStx = "\x02";
// STX, text, ETX and the check bytes given, as a frame appears on the wire.
inline std::string Wired(const std::string& text, const std::string& check = "") {
  return kStx + text + "\x03" + check;
}

inline RecordedEvent Arrived(const std::string& d) {
  return DE(2, "Data Arrived:'" + d + "'");
}
inline RecordedEvent Eaten(const std::string& u) {
  return DE(3, "EatMessage: Message='" + u + "'");
}
inline RecordedEvent Sent(const std::string& m, int32_t timeout, int checksum) {
  return DE(4, "SendMessage: Message='" + m + "', Timeout=" + std::to_string(timeout) +
                   ", Checksum=" + std::to_string(checksum));
}
inline RecordedEvent AckAt(int state) {
  return DE(5, "<ACK> received at State=" + std::to_string(state));
}
inline const RecordedEvent kTimeout = DE(8, "TIMEOUT!!!!!!!!!!!");
// A good frame: the ACK through SendMessage, then the frame goes to the dispatcher.
inline Events Handled(const std::string& f) {
  return {DE(5, "Sending ACK"), Sent(kAck, 0, 0), Eaten(f),
          DE(4, "ProcessMessage: Message='" + f + "'")};
}
inline Events operator+(Events a, const Events& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct PadLink {
  SimHost host;
  ScriptedPeer pad;
  RecordingEvents events;
  Korvex::Impl control{host, events};

  PadLink() {
    host.Listen("router", 4001, pad);
    control.Winsock1->SetRemoteHost("router");
    control.Winsock1->SetRemotePort(4001);
  }

  // Connected through the router (the connection test's P01 is out), then put
  // in `state` with the reply timer armed at timerMs (0: off) and logs empty.
  void Connect(int16_t state, int32_t timerMs = 0) {
    control.ConnectRouter(STATE_CONNECT_TEST);
    host.RunFor(5);
    ASSERT_EQ(control.Winsock1->State(), sckConnected);
    control.fState = state;
    timerMs > 0 ? control.RestartTimer(timerMs) : control.StopTimer();
    control.LastSentMessage.clear();
    Forget();
  }
  void Forget() {
    events.Clear();
    host.ClearWireLog();
  }
  // The PIN pad writes; one millisecond later the bytes have arrived.
  void Deliver(const std::string& bytes) {
    pad.Send(bytes);
    host.RunFor(1);
  }
  // Everything the control wrote since the last Forget.
  std::string Wire() const { return host.Written(SimSide::Control); }
  // Events raised since the last call.
  Events Take() { return std::exchange(events.all, {}); }
  bool TimerOn(int ms) const {
    return control.TimeoutTimer->Enabled() && control.TimeoutTimer->Interval() == ms;
  }
};

class PadLinkTest : public ::testing::Test, public PadLink {};

}  // namespace korvex::testing
