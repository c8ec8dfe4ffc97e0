#include "emulator/adapters/sim_pinpad.h"

#include <algorithm>

namespace korvex::emu {

SimPinPad::SimPinPad(SimHost& host, EmulatorConfig config, PadState state)
    : host_(host), core_(std::move(config), std::move(state)) {}

SimPinPad::~SimPinPad() {
  if (timer_) host_.Cancel(timer_);
  for (const auto& [name, port] : listening_) host_.StopListening(name, port);
}

void SimPinPad::Listen(const std::string& hostName, int32_t port) {
  host_.Listen(hostName, port, *this);
  listening_.emplace_back(hostName, port);
}

void SimPinPad::OnPeerConnected(SimConnection& connection) {
  connection_ = &connection;
  core_.Connect(host_.NowUs());
  Pump();
}

void SimPinPad::OnPeerData(SimConnection& connection, const std::string& bytes) {
  if (&connection != connection_) return;  // a connection already replaced
  core_.Receive(bytes, host_.NowUs());
  Pump();
}

void SimPinPad::OnPeerClosed(SimConnection& connection) {
  if (&connection != connection_) return;
  connection_ = nullptr;
  core_.Disconnect(host_.NowUs());
  Pump();
}

void SimPinPad::Pump() {
  const int64_t nowUs = host_.NowUs();
  // Taken out while sending, so that a send that came back here would find
  // a vector of its own.
  std::vector<std::string> output = std::move(output_);
  output.clear();
  core_.TakeOutput(nowUs, output);
  for (const auto& piece : output) {
    if (connection_) connection_->Send(piece);
  }
  output_ = std::move(output);
  if (core_.CloseRequested()) {
    if (connection_) connection_->Close();
    connection_ = nullptr;
    core_.Disconnect(nowUs);
  }
  if (timer_) host_.Cancel(timer_);
  timer_ = 0;
  if (const auto next = core_.NextDeadline()) {
    timer_ = host_.ScheduleUs(std::max<int64_t>(0, *next - nowUs), [this] {
      timer_ = 0;
      core_.Poll(host_.NowUs());
      Pump();
    });
  }
}

}  // namespace korvex::emu
