// A PIN pad played by the test: it records what reaches it and answers only
// what the test tells it to. Its frames carry block checks computed here, not
// by the link under test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "korvex/sim_host.h"
#include "link/framing.h"

namespace korvex::testing {

// XOR of every byte after the start character, the end character included.
inline char TestLrc(const std::string& frameWithoutCheck) {
  uint8_t x = 0;
  for (size_t i = 1; i < frameWithoutCheck.size(); ++i) x ^= uint8_t(frameWithoutCheck[i]);
  return char(x);
}

// STX, text, ETX and a good LRC, as the PIN pad writes a frame.
inline std::string WithLrc(const std::string& text) {
  const std::string f = std::string(1, STX) + text + std::string(1, ETX);
  return f + TestLrc(f);
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
  void SendFrame(const std::string& text) { Send(WithLrc(text)); }
  void SendAck() { Send(std::string(1, ACK)); }

  SimConnection* connection = nullptr;
  std::string received;
  int connects = 0;
  int closes = 0;
  std::function<void(SimConnection&, const std::string&)> onData;
};

}  // namespace korvex::testing
