// A control wired through SimHost and the router to a PIN pad played by the
// test, plus the trace lines the link raises, spelled out for expectations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "harness/scripted_peer.h"
#include "korvex/sim_host.h"

namespace korvex::testing {

using Events = std::vector<RecordedEvent>;

// Single wire units, written out.
inline const std::string kAck = "\x06";
inline const std::string kNak = "\x15";
inline const std::string kEnq = "\x05";
inline const std::string kEot = "\x04";
inline const std::string kStx = "\x02";
// STX, text, ETX and the check bytes given, as a frame appears on the wire.
inline std::string Wired(const std::string& text, const std::string& check = "") {
  return kStx + text + "\x03" + check;
}

inline RecordedEvent Arrived(const std::string& d) {
  return DE(2, "Data Arrived:'" + d + "'");
}
inline RecordedEvent ArrivedMeanwhile(const std::string& d) {
  return DE(2, "Data Arrived during previous message processing:'" + d + "'");
}
inline RecordedEvent Eaten(const std::string& u) {
  return DE(3, "EatMessage: Message='" + u + "'");
}
inline RecordedEvent Dispatched(const std::string& f) {
  return DE(4, "ProcessMessage: Message='" + f + "'");
}
inline RecordedEvent Sent(const std::string& m, int32_t timeout, int checksum) {
  return DE(4, "SendMessage: Message='" + m + "', Timeout=" + std::to_string(timeout) +
                   ", Checksum=" + std::to_string(checksum));
}
inline RecordedEvent AckAt(int state) {
  return DE(5, "<ACK> received at State=" + std::to_string(state));
}
inline RecordedEvent Timeout() {
  return DE(8, "TIMEOUT!!!!!!!!!!!");
}
// The answer to a good frame: trace, then the ACK through SendMessage.
inline Events AckSent() {
  return {DE(5, "Sending ACK"), Sent(kAck, 0, 0)};
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
    control.StopTimer();
    if (timerMs > 0) control.RestartTimer(timerMs);
    control.LastSentMessage.clear();
    Forget();
  }
  void Forget() {
    events.Clear();
    host.ClearWireLog();
    pad.received.clear();
  }
  // The PIN pad writes; one millisecond later the bytes have arrived.
  void Deliver(const std::string& bytes) {
    pad.Send(bytes);
    host.RunFor(1);
  }
  // Everything the control wrote since the last Forget.
  std::string Wire() const { return host.Written(SimSide::Control); }
  // The control's writes with the virtual time of each.
  std::vector<std::pair<int64_t, std::string>> Writes() const {
    std::vector<std::pair<int64_t, std::string>> out;
    for (const auto& r : host.WireLog()) {
      if (r.from == SimSide::Control && r.kind == SimWireRecord::Data) {
        out.emplace_back(r.timeMs, r.bytes);
      }
    }
    return out;
  }
  // Events raised since the last call.
  Events Take() { return std::exchange(events.all, {}); }
  bool TimerOn(int32_t intervalMs) const {
    return control.TimeoutTimer->Enabled() && control.TimeoutTimer->Interval() == intervalMs;
  }
};

class PadLinkTest : public ::testing::Test, public PadLink {};

}  // namespace korvex::testing
