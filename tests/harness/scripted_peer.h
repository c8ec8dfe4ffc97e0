// A PIN pad played by the test: it records what reaches it and answers only
// what the test tells it to.
#pragma once

#include <functional>
#include <string>

#include "korvex/sim_host.h"
#include "link/framing.h"

namespace korvex::testing {

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
  // A frame with a good LRC.
  void SendFrame(const std::string& text) {
    std::string f = Framed(text);
    Send(f + static_cast<char>(CalculateLRC(f)));
  }
  void SendAck() { Send(std::string(1, ACK)); }

  SimConnection* connection = nullptr;
  std::string received;
  int connects = 0;
  int closes = 0;
  std::function<void(SimConnection&, const std::string&)> onData;
};

// The frame as it appears on the wire with its LRC.
inline std::string WithLrc(const std::string& text) {
  std::string f = Framed(text);
  return f + static_cast<char>(CalculateLRC(f));
}

}  // namespace korvex::testing
