// A port's serial device, kept open between connections so that it stays
// claimed; a device that failed is closed and opened again by the next
// connection.
#pragma once

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <string>

#include "router/serial_line.h"

namespace korvex::router {

class DeviceLine {
 public:
  DeviceLine(asio::io_context& io, std::string path, FlowControl flow);

  // Opens the device when it is not open.
  bool Open(std::string& error);
  // Opens the device if needed, sets its line and discards what the pad sent
  // while no connection was open.
  bool Prepare(const LineSetting& setting, std::string& error);
  // Drops the device after a failure (or at the end).
  void Close();
  // Ends the pending reads and writes of a connection that is over.
  void Cancel();

  bool IsOpen() const { return stream_.is_open(); }
  asio::posix::stream_descriptor& Stream() { return stream_; }
  const std::string& Path() const { return path_; }
  // Whether the driver took the low-latency setting at the last open.
  bool LowLatency() const { return lowLatency_; }

 private:
  std::string path_;
  FlowControl flow_;
  asio::posix::stream_descriptor stream_;
  bool lowLatency_ = false;
};

}  // namespace korvex::router
