#include "router/serial_line.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvex::router {
namespace {

tcflag_t DataBitsFlag(int bits) {
  switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

bool Fail(std::string& error, const std::string& what) {
  error = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

std::optional<FlowControl> ParseFlowControl(const std::string& text) {
  if (text == "none") return FlowControl::None;
  if (text == "rtscts") return FlowControl::RtsCts;
  if (text == "xonxoff") return FlowControl::XonXoff;
  return std::nullopt;
}

int OpenSerial(const std::string& path, std::string& error) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    Fail(error, "cannot open the device");
    return -1;
  }
  if (!isatty(fd)) {
    error = "not a serial device (a terminal)";
    close(fd);
    return -1;
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    Fail(error, "cannot claim the device exclusively");
    close(fd);
    return -1;
  }
  // Raw at once: until the first connection sets the line, the driver must
  // not echo the pad's bytes back to it or hold them for a line end.
  termios t{};
  if (tcgetattr(fd, &t) == 0) {
    cfmakeraw(&t);
    t.c_cflag |= CREAD | CLOCAL;
    tcsetattr(fd, TCSANOW, &t);
  }
  return fd;
}

void SetLine(termios& t, const LineSetting& setting, FlowControl flow) {
  cfmakeraw(&t);
  const speed_t speed = BaudSpeed(setting.baud).value_or(B9600);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= DataBitsFlag(setting.dataBits) | CREAD | CLOCAL;
  if (setting.parity != 'n') t.c_cflag |= PARENB;
  if (setting.parity == 'o') t.c_cflag |= PARODD;
  if (setting.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (flow == FlowControl::RtsCts) t.c_cflag |= CRTSCTS;
  if (flow == FlowControl::XonXoff) t.c_iflag |= IXON | IXOFF;
  // Reads return whatever has arrived; the descriptor is non-blocking anyway.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

bool ApplyLine(int fd, const LineSetting& setting, FlowControl flow, std::string& error) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return Fail(error, "cannot read the line settings");
  SetLine(t, setting, flow);
  if (tcsetattr(fd, TCSANOW, &t) != 0) return Fail(error, "cannot set the line");
  if (tcflush(fd, TCIFLUSH) != 0) return Fail(error, "cannot discard old input");
  return true;
}

bool RequestLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
  serial.flags |= ASYNC_LOW_LATENCY;
  return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

}  // namespace korvex::router
