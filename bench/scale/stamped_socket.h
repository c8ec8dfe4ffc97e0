// Reads from a TCP socket with the kernel's receive time: with SO_TIMESTAMPNS
// on, each recvmsg carries the time (CLOCK_REALTIME) the kernel took in the
// last segment it returns, so a byte's arrival is timed however long the
// reader took to come and read it.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <time.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace korvex::bench {

// Microseconds of CLOCK_REALTIME, the clock of the kernel's receive stamps.
inline int64_t RealtimeNowUs() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return int64_t{t.tv_sec} * 1000000 + t.tv_nsec / 1000;
}

// Turns the receive stamps on; false when the kernel refuses.
inline bool EnableReceiveStamps(int fd) {
  const int on = 1;
  return setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) == 0;
}

struct StampedRead {
  ssize_t n = 0;          // as recv: bytes, 0 at the end of the stream, -1 with errno
  int64_t kernelUs = -1;  // the kernel's receive time; -1: none came with the bytes
};

// One non-blocking read.
inline StampedRead ReadStamped(int fd, char* buffer, size_t size) {
  iovec io{buffer, size};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  msghdr message{};
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  StampedRead read;
  do {
    read.n = recvmsg(fd, &message, MSG_DONTWAIT);
  } while (read.n < 0 && errno == EINTR);
  if (read.n <= 0) return read;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    const auto* t = reinterpret_cast<const timespec*>(CMSG_DATA(c));
    read.kernelUs = int64_t{t->tv_sec} * 1000000 + t->tv_nsec / 1000;
  }
  return read;
}

}  // namespace korvex::bench
