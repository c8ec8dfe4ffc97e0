// A PIN pad played by the test: it records what reaches it, answers only what
// the test tells it to, and computes its frames' checks itself, not by the link.
#pragma once

#include <functional>
#include <string>

#include "korvex/sim_host.h"
#include "link/framing.h"

namespace korvex::testing {

// STX, text, ETX and a good LRC (XOR of every byte after STX, ETX included), as
// the PIN pad writes a frame.
inline std::string WithLrc(const std::string& text) {
  char lrc = ETX;
  for (char c : text) lrc ^= c;
  return STX + text + ETX + lrc;
}

class ScriptedPeer : public SimPeer {
 public:
  void OnPeerConnected(SimConnection& c) override {
    connection = &c;
    ++connects;
  }
  void OnPeerData(SimConnection& c, const std::string& bytes) override {
    received += bytes;
    if (onData) onData(c, bytes);
  }
  void OnPeerClosed(SimConnection& c) override {
    if (connection == &c) connection = nullptr;
    ++closes;
  }
  void Send(const std::string& bytes) {
    if (connection) connection->Send(bytes);
  }

  SimConnection* connection = nullptr;
  std::string received;
  int connects = 0;
  int closes = 0;
  std::function<void(SimConnection&, const std::string&)> onData;
};

}  // namespace korvex::testing
