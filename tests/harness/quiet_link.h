// A control connected through SimHost to a PIN pad that never answers and an
// event sink that keeps nothing: for benchmarks and fuzzing, where only what
// the test itself feeds the control matters.
#pragma once

#include <string>

#include "control/korvex_impl.h"
#include "korvex/sim_host.h"

namespace korvex::testing {

class NullEvents : public KorvexEvents {
 public:
  void InterfaceEvent(int32_t&, int32_t&, std::string&) override {}
  void DebugEvent(int16_t&, std::string&) override {}
  bool WantsDebugEvents() const override { return traces; }
  // Off: the control builds no trace text, as for a host that reads none.
  bool traces = true;
};

class SilentPad : public SimPeer {
 public:
  void OnPeerConnected(SimConnection& c) override { connection = &c; }
  void OnPeerData(SimConnection&, const std::string&) override {}
  void OnPeerClosed(SimConnection&) override { connection = nullptr; }
  SimConnection* connection = nullptr;
};

struct QuietLink {
  SimHost host;
  SilentPad pad;
  NullEvents events;
  Korvex::Impl control{host, events};

  // Connected the way the control expects: through ConnectRouter (a
  // connection it did not ask for is reset at once).
  QuietLink() {
    host.Listen("router", 1, pad);
    control.Winsock1->SetRemoteHost("router");
    control.Winsock1->SetRemotePort(1);
    control.ConnectRouter(STATE_CONNECT_TEST);
    host.RunFor(5);
  }
};

}  // namespace korvex::testing
