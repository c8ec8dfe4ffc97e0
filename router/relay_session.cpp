#include "router/relay_session.h"

#include <asio/write.hpp>

#include "emulator/core/wire_text.h"
#include "router/line_command.h"

namespace korvex::router {
namespace {

std::string EndpointText(const asio::ip::tcp::socket& socket) {
  asio::error_code ec;
  const auto endpoint = socket.remote_endpoint(ec);
  if (ec) return "(unknown client)";
  const std::string address = endpoint.address().to_string();
  return (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" +
         std::to_string(endpoint.port());
}

}  // namespace

RelaySession::RelaySession(asio::ip::tcp::socket socket, SessionContext context)
    : socket_(std::move(socket)),
      context_(std::move(context)),
      client_(EndpointText(socket_)),
      commandTimer_(socket_.get_executor()) {}

void RelaySession::Start() {
  asio::error_code ignored;
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  if (!context_.traceDir.empty()) {
    std::string error;
    trace_ = TraceFile::Create(context_.traceDir, context_.port, error);
    if (!trace_) context_.log.Warning(context_.label + ": " + error);
    if (trace_) trace_->Note("connection from " + client_ + " to " + context_.device.Path());
  }
  auto self = shared_from_this();
  commandTimer_.expires_after(std::chrono::milliseconds(context_.commandTimeoutMs));
  commandTimer_.async_wait([self](const asio::error_code& ec) {
    if (ec || self->closed_) return;
    self->Refuse("no complete line command within " +
                 std::to_string(self->context_.commandTimeoutMs) + " ms");
  });
  ReadCommand();
}

void RelaySession::ReadCommand() {
  auto self = shared_from_this();
  socket_.async_read_some(asio::buffer(toPad_), [self](const asio::error_code& ec, size_t n) {
    if (self->closed_) return;
    if (ec) {
      self->Refuse("closed before its line command was complete (" +
                   std::to_string(self->command_.size()) + " of " +
                   std::to_string(kLineCommandLength) + " bytes)");
      return;
    }
    self->OnCommandBytes(n);
  });
}

void RelaySession::OnCommandBytes(size_t n) {
  const size_t take = std::min(n, kLineCommandLength - command_.size());
  command_.append(toPad_.data(), take);
  if (!CouldBeLineCommand(command_)) {
    Refuse("it does not start with SETCOMM");
    return;
  }
  if (command_.size() < kLineCommandLength) {
    ReadCommand();
    return;
  }
  Accept(std::string(toPad_.data() + take, n - take));
}

void RelaySession::Accept(std::string leftover) {
  commandTimer_.cancel();
  const LineCommand command = ParseLineCommand(command_);
  if (!command.setting) {
    Refuse(command.error);
    return;
  }
  std::string error;
  if (!context_.device.Prepare(*command.setting, error)) {
    Close("device " + context_.device.Path() + ": " + error, LogLevel::Error);
    return;
  }
  const std::string line = SettingText(*command.setting);
  context_.log.Info(context_.label + ": connection from " + client_ + ", line " + line);
  if (trace_) trace_->Note("line command \"" + command_ + "\": " + line);
  StartRelay(std::move(leftover));
}

void RelaySession::Refuse(const std::string& reason) {
  Close("refused line command \"" + emu::DescribeBytes(command_) + "\": " + reason,
        LogLevel::Warning);
}

void RelaySession::StartRelay(std::string leftover) {
  auto& device = context_.device.Stream();
  Relay(device, socket_, fromPad_, false);
  if (leftover.empty()) {
    Relay(socket_, device, toPad_, true);
    return;
  }
  // What came with the command belongs to the pad, ahead of everything else.
  leftover_ = std::move(leftover);
  Traced(true, leftover_.data(), leftover_.size());
  auto self = shared_from_this();
  asio::async_write(device, asio::buffer(leftover_), [self](const asio::error_code& ec, size_t) {
    if (self->closed_) return;
    if (ec) return self->OnRelayError(true, false, ec);
    self->Relay(self->socket_, self->context_.device.Stream(), self->toPad_, true);
  });
}

// Reads a chunk, writes all of it, reads the next: no timer, no batching, and
// a slow receiver holds back its sender instead of filling memory.
template <typename From, typename To>
void RelaySession::Relay(From& from, To& to, Buffer& buffer, bool toPad) {
  auto self = shared_from_this();
  from.async_read_some(asio::buffer(buffer), [self, &from, &to, &buffer, toPad](
                                                 const asio::error_code& ec, size_t n) {
    if (self->closed_) return;
    if (ec) return self->OnRelayError(toPad, true, ec);
    asio::async_write(to, asio::buffer(buffer.data(), n),
                      [self, &from, &to, &buffer, toPad](const asio::error_code& ec, size_t) {
                        if (self->closed_) return;
                        if (ec) return self->OnRelayError(toPad, false, ec);
                        self->Relay(from, to, buffer, toPad);
                      });
    // Traced after the write has started, so that the trace costs the
    // bytes no time on their way.
    self->Traced(toPad, buffer.data(), n);
  });
}

void RelaySession::OnRelayError(bool toPad, bool reading, const asio::error_code& ec) {
  const bool deviceSide = toPad != reading;  // reading from the pad, or writing to it
  if (!deviceSide) {
    const bool eof = ec == asio::error::eof;
    Close(eof ? "closed by the client" : "client connection lost: " + ec.message());
    return;
  }
  // The device went away (unplugged, hung up): drop it, the next connection
  // opens it again.
  context_.device.Close();
  const std::string what = ec == asio::error::eof ? "end of file" : ec.message();
  Close("device " + context_.device.Path() + " failed (" + what + "), connection closed",
        LogLevel::Error);
}

void RelaySession::Traced(bool toPad, const char* data, size_t n) {
  if (!trace_) return;
  if (toPad) trace_->ToPad(data, n);
  if (!toPad) trace_->FromPad(data, n);
}

void RelaySession::Close(const std::string& reason, LogLevel level) {
  if (closed_) return;
  closed_ = true;
  const auto keepAlive = shared_from_this();  // `onEnd_` may drop the port's reference
  commandTimer_.cancel();
  asio::error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  context_.device.Cancel();
  context_.log.Write(level, context_.label + ": connection from " + client_ + ": " + reason);
  if (trace_) trace_->Note(reason);
  trace_.reset();
  if (onEnd_) onEnd_();
}

}  // namespace korvex::router
