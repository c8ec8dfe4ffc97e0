#include "router/device_line.h"

#include <sys/ioctl.h>

namespace korvex::router {

DeviceLine::DeviceLine(asio::io_context& io, std::string path, FlowControl flow)
    : path_(std::move(path)), flow_(flow), stream_(io) {}

bool DeviceLine::Open(std::string& error) {
  if (stream_.is_open()) return true;
  const int fd = OpenSerial(path_, error);
  if (fd < 0) return false;
  lowLatency_ = RequestLowLatency(fd);
  stream_.assign(fd);
  return true;
}

bool DeviceLine::Prepare(const LineSetting& setting, std::string& error) {
  const bool wasOpen = stream_.is_open();
  if (!Open(error)) return false;
  if (ApplyLine(stream_.native_handle(), setting, flow_, error)) return true;
  Close();
  // A device unplugged while no connection was open fails on its old
  // descriptor; if it is back, a fresh open finds it.
  if (!wasOpen || !Open(error)) return false;
  if (ApplyLine(stream_.native_handle(), setting, flow_, error)) return true;
  Close();
  return false;
}

void DeviceLine::Close() {
  // Exclusive use is a mark on the device, not on the descriptor: lift it,
  // or whoever else still holds the device keeps it after we are gone.
  if (stream_.is_open()) ioctl(stream_.native_handle(), TIOCNXCL);
  asio::error_code ignored;
  stream_.close(ignored);
}

void DeviceLine::Cancel() {
  asio::error_code ignored;
  if (stream_.is_open()) stream_.cancel(ignored);
}

}  // namespace korvex::router
