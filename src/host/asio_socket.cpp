#include "host/asio_socket.h"
#include "host/socket_error_numbers.h"

#include <array>
#include <asio/connect.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <deque>
#include <string>
#include <utility>

namespace korvex {

namespace {

using asio::ip::tcp;

constexpr int32_t kInvalidOperation = 40020;

// What the control sees: state, received bytes and the current attempt.
struct Connection;
struct SocketCore {
  SocketCore(asio::io_context& i, AsioEventQueue& q, SocketEvents& e, const void* o)
      : io(i), queue(q), events(e), owner(o) {}

  asio::io_context& io;
  AsioEventQueue& queue;
  SocketEvents& events;
  const void* owner;  // whose yield delivers this socket's events
  std::string remoteHost;
  int32_t remotePort = 0;
  int16_t state = sckClosed;
  std::string rx;
  // Bytes read whose DataArrival has not been delivered yet, from `arrivedAt`
  // on. One buffer, reused: an arrival costs no allocation of its own.
  std::string arrived;
  size_t arrivedAt = 0;
  uint64_t attempt = 0;  // bumped by Connect and Close; events of older attempts are void
  std::shared_ptr<Connection> connection;

  // Moves the next `n` bytes read to what the control sees.
  void Deliver(size_t n) {
    rx.append(arrived, arrivedAt, n);
    arrivedAt += n;
    if (arrivedAt == arrived.size()) ForgetArrived();
  }
  void ForgetArrived() {
    arrived.clear();
    arrivedAt = 0;
  }
};

// Queues an event for the loop. It does nothing once the socket is gone or has
// been closed or reconnected since.
template <class Action>
void QueueEvent(AsioEventQueue& queue, const void* owner, std::weak_ptr<SocketCore> core,
                uint64_t attempt, Action action) {
  queue.Push(owner, [core = std::move(core), attempt, action = std::move(action)] {
    auto c = core.lock();
    if (c && c->attempt == attempt) action(*c);
  });
}

// One connection attempt with its own resolver and socket. Pending Asio
// operations hold it, so after a local close it can still flush the writes
// already accepted while the socket connects anew.
struct Connection : std::enable_shared_from_this<Connection> {
  Connection(asio::io_context& io, AsioEventQueue& q, const void* o, std::weak_ptr<SocketCore> c,
             uint64_t a)
      : resolver(io), socket(io), queue(q), owner(o), core(std::move(c)), attempt(a) {}

  tcp::resolver resolver;
  tcp::socket socket;
  AsioEventQueue& queue;
  const void* owner;
  std::weak_ptr<SocketCore> core;
  uint64_t attempt;
  std::array<char, 4096> readBuffer{};
  std::deque<std::string> writes;
  bool writing = false;
  bool silent = false;   // nothing more to report: closed, failed or end of stream
  bool closing = false;  // closed locally; the socket goes once the writes are out

  template <class Action>
  void Emit(Action action) {
    QueueEvent(queue, owner, core, attempt, std::move(action));
  }

  void Start(const std::string& host, int32_t port) {
    if (host.empty()) return Fail(asio::error::host_not_found);
    if (port < 1 || port > 65535) return Fail(asio::error::invalid_argument);
    resolver.async_resolve(
        host, std::to_string(port), tcp::resolver::numeric_service,
        [self = shared_from_this()](const asio::error_code& ec, tcp::resolver::results_type hits) {
          if (self->silent) return;
          if (ec) return self->Fail(ec);
          self->ConnectTo(hits);
        });
  }

  void ConnectTo(const tcp::resolver::results_type& hits) {
    asio::async_connect(
        socket, hits,
        [self = shared_from_this()](const asio::error_code& ec, const tcp::endpoint&) {
          if (self->silent) return;
          if (ec) return self->Fail(ec);
          // The protocol is lock-step single bytes and short frames; waiting
          // to coalesce them would cost a delayed-ACK round trip each.
          asio::error_code ignored;
          self->socket.set_option(tcp::no_delay(true), ignored);
          self->Emit([](SocketCore& c) {
            c.state = sckConnected;
            c.events.OnConnect();
          });
          self->Read();
        });
  }

  // A continuous read; each piece becomes one DataArrival.
  void Read() {
    socket.async_read_some(asio::buffer(readBuffer),
                           [self = shared_from_this()](const asio::error_code& ec, size_t n) {
                             if (self->silent) return;
                             if (ec == asio::error::eof) return self->PeerClosed();
                             if (ec) return self->Fail(ec);
                             self->Arrived(n);
                             self->Read();
                           });
  }

  void Arrived(size_t n) {
    const auto c = core.lock();
    if (!c || c->attempt != attempt) return;  // closed or connected anew: nobody reads it
    c->arrived.append(readBuffer.data(), n);
    Emit([n](SocketCore& s) {
      s.Deliver(n);
      s.events.OnDataArrival(static_cast<int32_t>(s.rx.size()));
    });
  }

  void Send(const std::string& data) {
    if (closing || !socket.is_open()) return;
    writes.push_back(data);
    if (!writing) WriteNext();
  }

  // Writes leave one at a time, in the order they were sent, each from its
  // place in the queue (a deque's elements stay put as others are added).
  void WriteNext() {
    if (writes.empty()) {
      writing = false;
      if (closing) Shut();
      return;
    }
    writing = true;
    asio::async_write(socket, asio::buffer(writes.front()),
                      [self = shared_from_this()](const asio::error_code& ec, size_t) {
                        if (!ec) {
                          self->writes.pop_front();
                          return self->WriteNext();
                        }
                        self->writes.clear();
                        self->writing = false;
                        if (self->closing) return self->Shut();
                        self->Fail(ec);
                      });
  }

  void PeerClosed() {
    silent = true;
    Emit([](SocketCore& c) {
      c.state = sckClosing;
      c.events.OnClose();
    });
  }

  void Fail(const asio::error_code& ec) {
    if (silent) return;
    silent = true;
    asio::error_code ignored;
    socket.close(ignored);
    Emit([error = MapSocketError(ec)](SocketCore& c) {
      c.state = sckError;
      c.events.OnError(error.number, error.text);
    });
  }

  // The control is done with this attempt: nothing more is reported, and the
  // socket closes once the writes it already accepted are out, as a system
  // socket finishes sending after close.
  void CloseLocally() {
    silent = true;
    closing = true;
    resolver.cancel();
    if (!writing) Shut();
  }

  void Shut() {
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
  }
};

class AsioSocket : public Socket {
 public:
  explicit AsioSocket(std::shared_ptr<SocketCore> core) : core_(std::move(core)) {}
  ~AsioSocket() override { Close(); }

  void SetRemoteHost(const std::string& host) override { core_->remoteHost = host; }
  std::string RemoteHost() const override { return core_->remoteHost; }
  void SetRemotePort(int32_t port) override { core_->remotePort = port; }
  int32_t RemotePort() const override { return core_->remotePort; }
  int16_t State() const override { return core_->state; }

  void Connect() override {
    SocketCore& c = *core_;
    if (c.state != sckClosed) {
      // The socket stays as it is; only the error is reported.
      QueueEvent(c.queue, c.owner, core_, c.attempt, [](SocketCore& s) {
        s.events.OnError(kInvalidOperation, "Invalid operation at current state");
      });
      return;
    }
    ++c.attempt;
    c.ForgetArrived();
    c.state = sckConnecting;
    c.connection = std::make_shared<Connection>(c.io, c.queue, c.owner, core_, c.attempt);
    c.connection->Start(c.remoteHost, c.remotePort);
  }

  void Close() override {
    SocketCore& c = *core_;
    if (c.connection) c.connection->CloseLocally();
    c.connection.reset();
    c.state = sckClosed;
    c.rx.clear();
    c.ForgetArrived();
    ++c.attempt;
  }

  void SendData(const std::string& data) override {
    SocketCore& c = *core_;
    if (c.state == sckConnected && c.connection && !data.empty()) c.connection->Send(data);
  }

  std::string GetData() override { return std::exchange(core_->rx, std::string()); }
  void AppendData(std::string& into) override {
    into += core_->rx;
    core_->rx.clear();
  }

 private:
  std::shared_ptr<SocketCore> core_;
};

}  // namespace

std::unique_ptr<Socket> MakeAsioSocket(asio::io_context& io, AsioEventQueue& queue,
                                       SocketEvents& events, const void* owner) {
  return std::make_unique<AsioSocket>(std::make_shared<SocketCore>(io, queue, events, owner));
}

}  // namespace korvex
