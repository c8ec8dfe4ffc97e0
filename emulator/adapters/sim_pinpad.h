// The emulator as a peer on SimHost: register it at a host and port and the
// control's router connection reaches it in virtual time.
//
//   SimHost host;
//   emu::SimPinPad pad(host, config, state);
//   pad.Listen("router", 4001);
//   ... run the control against "router":4001 ...
//   EXPECT_TRUE(pad.Core().Violations().empty()) << pad.Core().ViolationSummary();
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "emulator/core/emulator.h"
#include "korvex/sim_host.h"

namespace korvex::emu {

class SimPinPad : public SimPeer {
 public:
  explicit SimPinPad(SimHost& host, EmulatorConfig config = {}, PadState state = {});
  ~SimPinPad() override;
  SimPinPad(const SimPinPad&) = delete;
  SimPinPad& operator=(const SimPinPad&) = delete;

  void Listen(const std::string& hostName, int32_t port);
  Emulator& Core() { return core_; }
  const Emulator& Core() const { return core_; }

  void OnPeerConnected(SimConnection& connection) override;
  void OnPeerData(SimConnection& connection, const std::string& bytes) override;
  void OnPeerClosed(SimConnection& connection) override;

 private:
  // Sends what is due, honours a requested close and re-arms the timer.
  void Pump();

  SimHost& host_;
  Emulator core_;
  SimConnection* connection_ = nullptr;
  uint64_t timer_ = 0;
  std::vector<std::string> output_;  // Pump's, kept with its room
  std::vector<std::pair<std::string, int32_t>> listening_;
};

}  // namespace korvex::emu
