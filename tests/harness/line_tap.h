// A peer placed in front of another (the emulated PIN pad): it passes every
// byte through and keeps the open connection, so that a test or the soak can
// slip bytes into the line to the control or close it as a router would.
#pragma once

#include <string>

#include "korvex/sim_host.h"

namespace korvex::testing {

struct LineTap : SimPeer {
  explicit LineTap(SimPeer& pad) : inner(pad) {}
  void OnPeerConnected(SimConnection& c) override {
    connection = &c;
    inner.OnPeerConnected(c);
  }
  void OnPeerData(SimConnection& c, const std::string& bytes) override {
    inner.OnPeerData(c, bytes);
  }
  void OnPeerClosed(SimConnection& c) override {
    if (connection == &c) connection = nullptr;
    inner.OnPeerClosed(c);
  }
  // Closes the open connection from the router's side, as a router that
  // restarts does; the pad behind it sees the connection end. False when none
  // is open.
  bool CloseLine() {
    if (connection == nullptr || !connection->IsOpen()) return false;
    SimConnection& closing = *connection;
    connection = nullptr;
    closing.Close();
    inner.OnPeerClosed(closing);
    return true;
  }

  SimPeer& inner;
  SimConnection* connection = nullptr;
};

}  // namespace korvex::testing
