#include "korvex/sim_host.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <utility>

namespace korvex {

// One accepted connection: both ends, their open flags and the per-direction
// stream state (offset for corruption, last delivery time to keep order).
struct SimHost::Link : SimConnection, std::enable_shared_from_this<SimHost::Link> {
  SimHost* host = nullptr;
  int id = 0;
  SimPeer* peer = nullptr;
  std::weak_ptr<SocketCore> control;
  const void* controlOwner = nullptr;  // the owner of the control's socket
  bool controlOpen = true;
  bool peerOpen = true;
  uint64_t offset[2] = {0, 0};       // 0: control -> peer, 1: peer -> control
  int64_t lastDelivery[2] = {0, 0};  // microseconds
  std::mt19937 rng[2];

  void Send(const std::string& bytes) override {
    host->Transmit(shared_from_this(), SimSide::Peer, bytes);
  }
  void Close() override { host->CloseFrom(shared_from_this(), SimSide::Peer); }
  bool IsOpen() const override { return peerOpen; }
  int Id() const override { return id; }
};

struct SimHost::SocketCore {
  SimHost* host = nullptr;
  SocketEvents* events = nullptr;
  const void* owner = nullptr;
  std::string remoteHost;
  int32_t remotePort = 0;
  int16_t state = sckClosed;
  std::string rx;
  std::shared_ptr<Link> link;
  uint64_t attempt = 0;  // bumped by Connect and Close so stale events do nothing
};

namespace {

class SimSocket : public Socket {
 public:
  explicit SimSocket(std::shared_ptr<SimHost::SocketCore> core) : core_(std::move(core)) {}
  ~SimSocket() override { Close(); }

  void SetRemoteHost(const std::string& host) override { core_->remoteHost = host; }
  std::string RemoteHost() const override { return core_->remoteHost; }
  void SetRemotePort(int32_t port) override { core_->remotePort = port; }
  int32_t RemotePort() const override { return core_->remotePort; }
  int16_t State() const override { return core_->state; }

  void Connect() override {
    if (core_->state != sckClosed) {
      // As the classic control does: an error event, the socket unchanged. A
      // Close before it is delivered voids it like any other pending event.
      auto weak = std::weak_ptr<SimHost::SocketCore>(core_);
      core_->host->ScheduleFor(core_->owner, 0, [weak, attempt = core_->attempt] {
        auto c = weak.lock();
        if (c && c->attempt == attempt) {
          c->events->OnError(40020, "Invalid operation at current state");
        }
      });
      return;
    }
    core_->state = sckConnecting;
    ++core_->attempt;
    core_->host->StartConnect(core_);
  }

  void Close() override {
    if (core_->link) {
      core_->host->CloseFrom(core_->link, SimSide::Control);
      core_->link.reset();
    }
    core_->state = sckClosed;
    core_->rx.clear();
    ++core_->attempt;
  }

  void SendData(const std::string& data) override {
    // Writing to a socket that is not connected goes nowhere.
    if (core_->state == sckConnected && core_->link) {
      core_->host->Transmit(core_->link, SimSide::Control, data);
    }
  }

  std::string GetData() override { return std::exchange(core_->rx, std::string()); }
  void AppendData(std::string& into) override {
    into += core_->rx;
    core_->rx.clear();
  }

 private:
  std::shared_ptr<SimHost::SocketCore> core_;
};

struct TimerCore {
  SimHost* host = nullptr;
  TimerEvents* events = nullptr;
  const void* owner = nullptr;
  bool enabled = false;
  int32_t interval = 0;
  uint64_t generation = 0;
  uint64_t pending = 0;
};

class SimTimer : public Timer {
 public:
  SimTimer(SimHost* host, TimerEvents* events, const void* owner) {
    core_.host = host;
    core_.events = events;
    core_.owner = owner;
  }
  ~SimTimer() override { Disarm(); }
  // Its pending tick points at core_, so it stays where it was made.
  SimTimer(const SimTimer&) = delete;
  SimTimer& operator=(const SimTimer&) = delete;

  bool Enabled() const override { return core_.enabled; }
  void SetEnabled(bool enabled) override {
    if (enabled == core_.enabled) return;
    core_.enabled = enabled;
    if (enabled) {
      Arm(&core_);
    } else {
      Disarm();
    }
  }
  int32_t Interval() const override { return core_.interval; }
  void SetInterval(int32_t ms) override {
    core_.interval = ms;
    if (core_.enabled) Arm(&core_);
  }

 private:
  void Disarm() {
    if (core_.pending) core_.host->Cancel(core_.pending);
    core_.pending = 0;
    ++core_.generation;
  }

  // Schedules the next tick one interval from now; a later re-arm voids it.
  // The tick holds the core by plain pointer, small enough for the function's
  // own storage: the core lives in its timer, whose end cancels the pending
  // tick (Disarm), so the tick never outlives it.
  static void Arm(TimerCore* core) {
    if (core->pending) core->host->Cancel(core->pending);
    core->pending = 0;
    const uint64_t generation = ++core->generation;
    if (core->interval < 1) return;
    core->pending =
        core->host->ScheduleFor(core->owner, int64_t{core->interval} * 1000, [core, generation] {
          if (!core->enabled || core->generation != generation) return;
          core->pending = 0;
          Arm(core);  // the next tick is due one interval after this one
          core->events->OnTimer();
        });
  }

  TimerCore core_;
};

char Invert(char c) {
  return static_cast<char>(~static_cast<unsigned char>(c));
}

}  // namespace

SimHost::SimHost() = default;

SimHost::~SimHost() {
  // The test suite's exchanges seed the fuzzers' corpora (fuzz/seed_corpus.py).
  if (const char* dir = std::getenv("KORVEX_SIM_WIRE_DIR")) SaveWireLog(dir);
}

void SimHost::SaveWireLog(const std::string& dir) const {
  static const unsigned process = std::random_device{}();  // test binaries run in parallel
  static int saved = 0;
  if (wireLog_.empty()) return;
  std::ofstream out(dir + "/wire-" + std::to_string(process) + "-" + std::to_string(++saved),
                    std::ios::binary);
  // One record a line: microseconds, side (c or p), kind (d, o, c), hex bytes.
  for (const auto& r : wireLog_) {
    out << r.timeUs << ' ' << (r.from == SimSide::Control ? 'c' : 'p') << ' ' << "doc"[r.kind]
        << ' ';
    for (unsigned char b : r.bytes) out << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    out << '\n';
  }
}

std::unique_ptr<Socket> SimHost::CreateSocket(SocketEvents& events) {
  auto core = std::make_shared<SocketCore>();
  core->host = this;
  core->events = &events;
  core->owner = OwnerOf(events);
  return std::make_unique<SimSocket>(std::move(core));
}

std::unique_ptr<Timer> SimHost::CreateTimer(TimerEvents& events) {
  return std::make_unique<SimTimer>(this, &events, OwnerOf(events));
}

uint64_t SimHost::Schedule(int64_t delayMs, std::function<void()> fn) {
  return ScheduleUs(std::max<int64_t>(0, delayMs) * 1000, std::move(fn));
}

uint64_t SimHost::ScheduleUs(int64_t delayUs, std::function<void()> fn) {
  return ScheduleFor(nullptr, delayUs, std::move(fn));
}

uint64_t SimHost::ScheduleFor(const void* owner, int64_t delayUs, std::function<void()> fn) {
  const int64_t at = now_ + std::max<int64_t>(0, delayUs);
  const uint64_t id = nextSeq_++;
  events_.emplace(std::make_pair(at, id), Event{owner, std::move(fn)});
  eventTimes_[id] = at;
  return id;
}

void SimHost::Cancel(uint64_t id) {
  const auto t = eventTimes_.find(id);
  if (t == eventTimes_.end()) return;
  events_.erase(std::make_pair(t->second, id));
  eventTimes_.erase(t);
}

bool SimHost::RunOneDue() {
  if (events_.empty() || events_.begin()->first.first > now_) return false;
  RunEvent(events_.begin());
  return true;
}

// The first due event of `owner` or of no owner; the others keep their place.
bool SimHost::RunOneDueOf(const void* owner) {
  for (auto e = events_.begin(); e != events_.end() && e->first.first <= now_; ++e) {
    if (e->second.owner == owner || e->second.owner == nullptr) {
      RunEvent(e);
      return true;
    }
  }
  return false;
}

// Taken off the queue before it runs, so a nested DoEvents cannot run it twice.
void SimHost::RunEvent(Events::iterator e) {
  auto fn = std::move(e->second.run);
  eventTimes_.erase(e->first.second);
  events_.erase(e);
  fn();
}

void SimHost::DoEvents() {
  while (RunOneDue()) {
  }
}

// Peers and scheduled calls belong to no control: they are the simulated
// world, and run in every yield as before, so a lone control sees no change.
void SimHost::DoEventsOf(const void* owner) {
  while (RunOneDueOf(owner)) {
  }
}

void SimHost::RunFor(int64_t ms) {
  const int64_t target = now_ + std::max<int64_t>(0, ms) * 1000;
  for (;;) {
    DoEvents();
    if (events_.empty() || events_.begin()->first.first > target) break;
    now_ = events_.begin()->first.first;
  }
  // An event may itself have run the clock past the target.
  now_ = std::max(now_, target);
}

bool SimHost::RunUntil(const std::function<bool()>& done, int64_t maxMs) {
  const int64_t limit = now_ + std::max<int64_t>(0, maxMs) * 1000;
  while (!done()) {
    if (RunOneDue()) continue;
    if (events_.empty() || events_.begin()->first.first > limit) {
      now_ = std::max(now_, limit);
      return done();
    }
    now_ = events_.begin()->first.first;
  }
  return true;
}

LocalDateTime SimHost::LocalNow() const {
  using namespace std::chrono;
  const sys_days day = year_month_day{year{localStart_.year}, month{unsigned(localStart_.month)},
                                      std::chrono::day{unsigned(localStart_.day)}};
  const auto t = sys_seconds{day} + hours{localStart_.hour} + minutes{localStart_.minute} +
                 seconds{localStart_.second} + duration_cast<seconds>(microseconds{now_});
  const auto d = floor<days>(t);
  const year_month_day ymd{d};
  const hh_mm_ss hms{t - d};
  return LocalDateTime{
      int(ymd.year()),          int(unsigned(ymd.month())), int(unsigned(ymd.day())),
      int(hms.hours().count()), int(hms.minutes().count()), int(hms.seconds().count())};
}

void SimHost::Listen(const std::string& host, int32_t port, SimPeer& peer) {
  listeners_[{host, port}] = &peer;
}

void SimHost::StopListening(const std::string& host, int32_t port) {
  listeners_.erase({host, port});
}

std::string SimHost::Written(SimSide side) const {
  std::string all;
  for (const auto& r : wireLog_) {
    if (r.from == side && r.kind == SimWireRecord::Data) all += r.bytes;
  }
  return all;
}

void SimHost::DropScheduled() {
  events_.clear();
  eventTimes_.clear();
}

void SimHost::ForgetClosedConnections() {
  std::erase_if(links_, [](const auto& l) { return !l->controlOpen && !l->peerOpen; });
}

void SimHost::Log(SimSide from, SimWireRecord::Kind kind, int connection,
                  const std::string& bytes) {
  if (!keepWireLog) return;
  wireLog_.push_back(SimWireRecord{now_ / 1000, from, kind, connection, bytes, now_});
}

void SimHost::StartConnect(const std::shared_ptr<SocketCore>& core) {
  std::weak_ptr<SocketCore> weak = core;
  const uint64_t attempt = core->attempt;
  ScheduleFor(core->owner, connectDelayMs * 1000, [this, weak, attempt] {
    auto c = weak.lock();
    if (!c || c->attempt != attempt || c->state != sckConnecting) return;
    const auto l = listeners_.find({c->remoteHost, c->remotePort});
    if (l == listeners_.end()) {
      const bool hostKnown = std::any_of(listeners_.begin(), listeners_.end(), [&](const auto& e) {
        return e.first.first == c->remoteHost;
      });
      c->state = sckError;
      if (hostKnown) {
        c->events->OnError(10061, "Connection is forcefully rejected");
      } else {
        c->events->OnError(11001, "Authoritative answer: Host not found");
      }
      return;
    }
    auto link = std::make_shared<Link>();
    link->host = this;
    link->id = nextConnection_++;
    link->peer = l->second;
    link->control = c;
    link->controlOwner = c->owner;
    link->rng[0].seed(toPeer.seed + static_cast<uint32_t>(link->id));
    link->rng[1].seed(toControl.seed + static_cast<uint32_t>(link->id));
    links_.push_back(link);
    c->link = link;
    c->state = sckConnected;
    Log(SimSide::Control, SimWireRecord::Open, link->id, "");
    link->peer->OnPeerConnected(*link);
    c->events->OnConnect();
  });
}

void SimHost::Transmit(const std::shared_ptr<Link>& link, SimSide from, const std::string& bytes) {
  const int dir = from == SimSide::Control ? 0 : 1;
  if (dir == 0 ? !link->controlOpen : !link->peerOpen) return;
  if (bytes.empty()) return;
  Log(from, SimWireRecord::Data, link->id, bytes);

  const SimLinkOptions& opt = dir == 0 ? toPeer : toControl;
  std::string data = bytes;
  if (opt.corruptOffsets.empty() && opt.corruptProbability <= 0) {
    // A clean line: no byte to look at (floods and downloads pass here).
    link->offset[dir] += data.size();
  } else {
    std::uniform_real_distribution<double> coin(0.0, 1.0);
    for (char& c : data) {
      const uint64_t off = link->offset[dir]++;
      const bool hit =
          opt.corruptOffsets.count(off) != 0 ||
          (opt.corruptProbability > 0 && coin(link->rng[dir]) < opt.corruptProbability);
      if (hit) c = Invert(c);
    }
  }

  const size_t chunk = opt.chunkSize == 0 ? data.size() : opt.chunkSize;
  int64_t at = now_ + opt.latencyMs * 1000;
  for (size_t pos = 0; pos < data.size(); pos += chunk, at += opt.chunkGapMs * 1000) {
    const int64_t when = std::max(at, link->lastDelivery[dir]);
    link->lastDelivery[dir] = when;
    // A whole write travels as it is: a flood is not copied once more.
    std::string piece =
        pos == 0 && chunk >= data.size() ? std::move(data) : data.substr(pos, chunk);
    ScheduleFor(dir == 0 ? nullptr : link->controlOwner, when - now_,
                [link, dir, piece = std::move(piece)] {
                  if (dir == 0) {
                    if (link->peerOpen) link->peer->OnPeerData(*link, piece);
                    return;
                  }
                  auto c = link->control.lock();
                  if (!c || c->link != link || c->state != sckConnected) return;
                  c->rx += piece;
                  c->events->OnDataArrival(static_cast<int32_t>(c->rx.size()));
                });
  }
}

void SimHost::CloseFrom(const std::shared_ptr<Link>& link, SimSide from) {
  const int dir = from == SimSide::Control ? 0 : 1;
  if (dir == 0) {
    if (!link->controlOpen) return;
    link->controlOpen = false;
  } else {
    if (!link->peerOpen) return;
    link->peerOpen = false;
  }
  Log(from, SimWireRecord::Close, link->id, "");
  const SimLinkOptions& opt = dir == 0 ? toPeer : toControl;
  // The close travels behind the data already in flight.
  const int64_t when = std::max(now_ + opt.latencyMs * 1000, link->lastDelivery[dir]);
  link->lastDelivery[dir] = when;
  ScheduleFor(dir == 0 ? nullptr : link->controlOwner, when - now_, [link, dir] {
    if (dir == 0) {
      if (!link->peerOpen) return;
      link->peerOpen = false;
      link->peer->OnPeerClosed(*link);
      return;
    }
    auto c = link->control.lock();
    if (!c || c->link != link || c->state != sckConnected) return;
    c->state = sckClosing;
    c->events->OnClose();
  });
}

}  // namespace korvex
