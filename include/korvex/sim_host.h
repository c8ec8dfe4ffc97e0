// SimHost: a deterministic host in virtual time.
//
// Timers fire at exact virtual milliseconds (the clock itself counts
// microseconds, so peers that model a serial line can be exact to the byte), sockets connect to
// in-memory peers registered by host and port, and every byte each side writes is logged with its
// virtual time. DoEvents runs what is due now without advancing time; RunFor and RunUntil advance
// it. Nothing here touches a real clock or socket, so timeouts of seconds cost no real time and
// every run is repeatable.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <set>
#include <string>
#include <vector>

#include "korvex/host.h"
#include "korvex/memory_registry.h"

namespace korvex {

enum class SimSide { Control, Peer };

struct SimWireRecord {
  enum Kind { Data, Open, Close };
  int64_t timeMs = 0;
  SimSide from = SimSide::Control;
  Kind kind = Data;
  int connection = 0;
  std::string bytes;
  int64_t timeUs = 0;
};

// Behaviour of one direction of every simulated connection.
struct SimLinkOptions {
  int64_t latencyMs = 1;   // from write to arrival
  size_t chunkSize = 0;    // split each write into pieces of this size (0: whole)
  int64_t chunkGapMs = 0;  // extra delay between consecutive pieces
  // Offsets in the direction's byte stream (counted from 0 per connection)
  // whose byte arrives inverted.
  std::set<uint64_t> corruptOffsets;
  // Probability that any byte arrives inverted; deterministic per seed.
  double corruptProbability = 0;
  uint32_t seed = 1;
};

// The peer's end of an accepted connection; valid as long as the host.
class SimConnection {
 public:
  virtual ~SimConnection() = default;
  virtual void Send(const std::string& bytes) = 0;
  // The peer closes; the control sees a Close event after the data in flight.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual int Id() const = 0;
};

// Whatever listens at a simulated host and port: the emulator or a test script.
// All callbacks run from the host's event loop.
class SimPeer {
 public:
  virtual ~SimPeer() = default;
  virtual void OnPeerConnected(SimConnection& connection) = 0;
  virtual void OnPeerData(SimConnection& connection, const std::string& bytes) = 0;
  virtual void OnPeerClosed(SimConnection& connection) = 0;
};

class SimHost : public Host {
 public:
  SimHost();
  ~SimHost() override;
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // Host
  std::unique_ptr<Socket> CreateSocket(SocketEvents& events) override;
  std::unique_ptr<Timer> CreateTimer(TimerEvents& events) override;
  void DoEvents() override;
  void DoEventsOf(const void* owner) override;
  int64_t NowMs() const override { return now_ / 1000; }
  int64_t NowUs() const { return now_; }
  LocalDateTime LocalNow() const override;
  RegistryBackend& Registry() override { return registry_; }
  MemoryRegistry& registry() { return registry_; }

  // Virtual time.
  void RunFor(int64_t ms);
  // Runs events one at a time until `done` holds or maxMs of virtual time
  // have passed; returns whether `done` holds.
  bool RunUntil(const std::function<bool()>& done, int64_t maxMs);
  // Wall-clock reading at virtual time 0.
  void SetLocalTime(const LocalDateTime& start) { localStart_ = start; }
  // Whether any event is still scheduled.
  bool Idle() const { return events_.empty(); }

  // Scheduling for peers and tests; the id cancels the call.
  uint64_t Schedule(int64_t delayMs, std::function<void()> fn);
  uint64_t ScheduleUs(int64_t delayUs, std::function<void()> fn);
  // A call on behalf of a socket or timer owner: only that owner's yield (or
  // the loop) runs it.
  uint64_t ScheduleFor(const void* owner, int64_t delayUs, std::function<void()> fn);
  void Cancel(uint64_t id);

  // Network.
  void Listen(const std::string& host, int32_t port, SimPeer& peer);
  void StopListening(const std::string& host, int32_t port);
  SimLinkOptions toPeer;
  SimLinkOptions toControl;
  int64_t connectDelayMs = 1;

  // Off: nothing is logged (long runs such as fuzzing, where nobody reads it).
  bool keepWireLog = true;
  const std::vector<SimWireRecord>& WireLog() const { return wireLog_; }
  // Every data byte written by one side, in order.
  std::string Written(SimSide side) const;
  void ClearWireLog() { wireLog_.clear(); }
  // Writes the log to a new file in `dir`, one record a line (time in
  // microseconds, side c or p, kind d, o or c, the bytes in hex). A host also
  // does so when it ends while KORVEX_SIM_WIRE_DIR names a folder.
  void SaveWireLog(const std::string& dir) const;
  // Number of connections accepted so far.
  int ConnectionCount() const { return nextConnection_ - 1; }

  // Reuse of one host for many independent runs: drops every scheduled event
  // (data in flight, timer ticks, connection attempts) and forgets the
  // connections closed at both ends. Timers stay as they are but will not
  // tick until armed again; time keeps running forward.
  void DropScheduled();
  void ForgetClosedConnections();

  // Implementation details shared with the socket and connection classes.
  struct Link;
  struct SocketCore;
  void Log(SimSide from, SimWireRecord::Kind kind, int connection, const std::string& bytes);
  void Transmit(const std::shared_ptr<Link>& link, SimSide from, const std::string& bytes);
  void CloseFrom(const std::shared_ptr<Link>& link, SimSide from);
  void StartConnect(const std::shared_ptr<SocketCore>& core);

 private:
  struct Event {
    const void* owner;  // nullptr: the world's own (peers, tests)
    std::function<void()> run;
  };
  using Events = std::pmr::map<std::pair<int64_t, uint64_t>, Event>;
  bool RunOneDue();
  bool RunOneDueOf(const void* owner);
  void RunEvent(Events::iterator e);

  int64_t now_ = 0;  // microseconds
  uint64_t nextSeq_ = 1;
  // Every delivery and timer tick is a node in both maps; the pool recycles
  // them instead of going to the heap twice per event.
  std::pmr::unsynchronized_pool_resource eventNodes_;
  Events events_{&eventNodes_};
  std::pmr::map<uint64_t, int64_t> eventTimes_{&eventNodes_};
  std::map<std::pair<std::string, int32_t>, SimPeer*> listeners_;
  std::vector<SimWireRecord> wireLog_;
  // Every connection ever accepted: peers may keep their handle after a close.
  std::vector<std::shared_ptr<Link>> links_;
  int nextConnection_ = 1;
  MemoryRegistry registry_;
  LocalDateTime localStart_{2026, 3, 4, 12, 0, 0};
};

}  // namespace korvex
