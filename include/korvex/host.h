// What the control needs from its host: a TCP client socket, a repeating
// timer, a way to yield to the host's event loop, a clock and the registry.
// The control never touches a real socket, clock or registry itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvex/registry.h"

namespace korvex {

// Socket states, numbered as the classic Winsock control numbers them.
enum SocketState : int16_t {
  sckClosed = 0,
  sckOpen = 1,
  sckListening = 2,
  sckConnectionPending = 3,
  sckResolvingHost = 4,
  sckHostResolved = 5,
  sckConnecting = 6,
  sckConnected = 7,
  sckClosing = 8,
  sckError = 9,
};

// Socket events, delivered on the host's thread from its event loop (never
// from inside a Socket call).
class SocketEvents {
 public:
  virtual ~SocketEvents() = default;
  virtual void OnConnect() = 0;
  virtual void OnClose() = 0;  // the peer closed the connection
  virtual void OnDataArrival(int32_t bytesTotal) = 0;
  virtual void OnError(int32_t Number, const std::string& Description) = 0;
};

// An event-driven TCP client.
class Socket {
 public:
  virtual ~Socket() = default;
  virtual void SetRemoteHost(const std::string& host) = 0;
  virtual std::string RemoteHost() const = 0;
  virtual void SetRemotePort(int32_t port) = 0;
  virtual int32_t RemotePort() const = 0;
  virtual int16_t State() const = 0;
  // Starts connecting to RemoteHost:RemotePort; Connect or Error follows.
  virtual void Connect() = 0;
  // Closes at once; no Close event follows a local close.
  virtual void Close() = 0;
  virtual void SendData(const std::string& data) = 0;
  // Takes every received byte not yet read.
  virtual std::string GetData() = 0;
  // The same bytes, appended to the caller's buffer: a reader that keeps one
  // buffer then needs no new memory per arrival.
  virtual void AppendData(std::string& into) { into += GetData(); }
};

class TimerEvents {
 public:
  virtual ~TimerEvents() = default;
  virtual void OnTimer() = 0;
};

// A repeating timer: while enabled with an interval of 1 ms or more it ticks
// every interval. Enabling a disabled timer, or setting the interval of an
// enabled one, restarts the countdown.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  virtual int32_t Interval() const = 0;
  virtual void SetInterval(int32_t ms) = 0;
};

struct LocalDateTime {
  int year = 1970, month = 1, day = 1;
  int hour = 0, minute = 0, second = 0;
};

class Host {
 public:
  virtual ~Host() = default;
  // A socket or timer belongs to the object that receives its events (the
  // whole object, so a control receiving both kinds is one owner).
  virtual std::unique_ptr<Socket> CreateSocket(SocketEvents& events) = 0;
  virtual std::unique_ptr<Timer> CreateTimer(TimerEvents& events) = 0;
  // Runs every socket and timer event that is pending now, then returns. May be
  // called from inside an event handler.
  virtual void DoEvents() = 0;
  // The yield of one owner: as DoEvents, but only that owner's socket and timer
  // events run; the others stay queued, in order, for the host's loop. Many
  // controls on one thread then never run inside each other's handlers.
  virtual void DoEventsOf(const void* owner) {
    static_cast<void>(owner);
    DoEvents();
  }
  // The owner key of an events object, as DoEventsOf takes it.
  template <class Events>
  static const void* OwnerOf(const Events& events) {
    return dynamic_cast<const void*>(&events);
  }
  // Monotonic milliseconds.
  virtual int64_t NowMs() const = 0;
  virtual LocalDateTime LocalNow() const = 0;
  virtual RegistryBackend& Registry() = 0;
};

}  // namespace korvex
