#include "tools/soak/noisy_line.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace korvex::soak {

// What the pad writes goes through the line before it reaches the socket.
class NoisyLine::PadEnd : public SimConnection {
 public:
  PadEnd(NoisyLine& line, SimConnection& router) : line_(line), router_(router) {}
  void Send(const std::string& bytes) override {
    if (!live) return;
    line_.Carry(kToControl, bytes, [this](const std::string& piece) {
      if (live) router_.Send(piece);
    });
  }
  void Close() override {
    if (!live) return;
    line_.AfterCarried(kToControl, [this] {
      live = false;
      router_.Close();
    });
  }
  bool IsOpen() const override { return live && router_.IsOpen(); }
  int Id() const override { return router_.Id(); }

  bool live = true;  // false once either side closed

 private:
  NoisyLine& line_;
  SimConnection& router_;
};

NoisyLine::NoisyLine(SimHost& host, SimPeer& pad, LineFaults faults, uint32_t seed)
    : host_(host), pad_(pad), faults_(faults), rng_(seed) {}

NoisyLine::~NoisyLine() = default;

void NoisyLine::OnPeerConnected(SimConnection& connection) {
  auto& end = ends_[&connection];
  end = std::make_unique<PadEnd>(*this, connection);
  open_ = &connection;
  // One serial line: what the last connection sent crosses it first.
  AfterCarried(kToPad, [this, pad = end.get()] {
    if (pad->live) pad_.OnPeerConnected(*pad);
  });
}

void NoisyLine::OnPeerData(SimConnection& connection, const std::string& bytes) {
  PadEnd* end = ends_.at(&connection).get();
  Carry(kToPad, bytes, [this, end](const std::string& piece) {
    if (end->live) pad_.OnPeerData(*end, piece);
  });
}

void NoisyLine::OnPeerClosed(SimConnection& connection) {
  if (open_ == &connection) open_ = nullptr;
  PadEnd* end = ends_.at(&connection).get();
  AfterCarried(kToPad, [this, end] {
    if (!end->live) return;
    end->live = false;
    pad_.OnPeerClosed(*end);
  });
}

bool NoisyLine::CloseLine() {
  if (open_ == nullptr) return false;
  SimConnection& closing = *open_;
  open_ = nullptr;
  PadEnd& end = *ends_.at(&closing);
  if (!end.live) return false;
  end.live = false;
  closing.Close();
  pad_.OnPeerClosed(end);
  return true;
}

void NoisyLine::Carry(Direction direction, const std::string& bytes,
                      const std::function<void(const std::string&)>& deliver) {
  std::string data = bytes;
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  std::uniform_int_distribution<int> shift(1, 255);
  for (char& c : data) {
    if (faults_.corruption > 0 && coin(rng_) < faults_.corruption) {
      c = static_cast<char>((static_cast<unsigned char>(c) + shift(rng_)) & 0xFF);
    }
  }
  if (direction == kToControl && data != bytes) spoilt_.push_back({bytes, data});
  const int64_t extraUs = std::uniform_int_distribution<int64_t>(0, faults_.jitterMs * 1000)(rng_);
  for (size_t pos = 0; pos < data.size();) {
    size_t size = data.size() - pos;
    if (faults_.maxChunk > 0) {
      size = std::min(size, std::uniform_int_distribution<size_t>(
                                1, static_cast<size_t>(faults_.maxChunk))(rng_));
    }
    const std::string piece = data.substr(pos, size);
    pos += size;
    int64_t& last = lastDelivery_[direction];
    last = std::max(last, host_.NowUs() + extraUs);
    host_.ScheduleUs(last - host_.NowUs(), [deliver, piece] { deliver(piece); });
  }
}

void NoisyLine::AfterCarried(Direction direction, std::function<void()> action) {
  int64_t& last = lastDelivery_[direction];
  last = std::max(last, host_.NowUs());
  host_.ScheduleUs(last - host_.NowUs(), std::move(action));
}

}  // namespace korvex::soak
