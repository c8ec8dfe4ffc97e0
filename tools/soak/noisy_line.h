// A bad serial line behind the router, between SimHost and the emulated PIN
// pad: bytes in both directions are corrupted (a hit byte takes a random
// other value), writes are cut into pieces of random sizes and each arrives
// after a random extra delay, in order; the router can close the connection.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "korvex/sim_host.h"

namespace korvex::soak {

struct LineFaults {
  double corruption = 0;  // per byte, each way
  int maxChunk = 0;       // 0: writes stay whole
  int64_t jitterMs = 0;   // extra delay of a write, 0 to this
};

class NoisyLine : public SimPeer {
 public:
  NoisyLine(SimHost& host, SimPeer& pad, LineFaults faults, uint32_t seed);
  ~NoisyLine() override;
  NoisyLine(const NoisyLine&) = delete;
  NoisyLine& operator=(const NoisyLine&) = delete;

  void OnPeerConnected(SimConnection& connection) override;
  void OnPeerData(SimConnection& connection, const std::string& bytes) override;
  void OnPeerClosed(SimConnection& connection) override;

  // The router closes the open connection at once, as one that restarts
  // does; false when none is open.
  bool CloseLine();

  // A write of the pad that crossed the line with bytes corrupted.
  struct Spoilt {
    std::string sent, arrived;
  };
  // Every such write, in order; a frame among them still passes its check
  // byte when its corruptions cancel in the XOR.
  const std::vector<Spoilt>& SpoiltToControl() const { return spoilt_; }

  // The pad's end of one connection.
  class PadEnd;

 private:
  enum Direction { kToPad = 0, kToControl = 1 };
  friend class PadEnd;
  // Corrupts, cuts and delays bytes; `deliver` gets each piece in order.
  void Carry(Direction direction, const std::string& bytes,
             const std::function<void(const std::string&)>& deliver);
  // Runs `action` once what was carried that way before has arrived.
  void AfterCarried(Direction direction, std::function<void()> action);

  SimHost& host_;
  SimPeer& pad_;
  LineFaults faults_;
  std::mt19937 rng_;
  int64_t lastDelivery_[2] = {0, 0};  // microseconds
  std::map<SimConnection*, std::unique_ptr<PadEnd>> ends_;
  SimConnection* open_ = nullptr;
  std::vector<Spoilt> spoilt_;
};

}  // namespace korvex::soak
