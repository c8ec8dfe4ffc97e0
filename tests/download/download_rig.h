// A control in the download's states against a loader played by the test,
// with a temporary download folder and a terminal holding CA keys.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "emvconfig/terminal_rig.h"
#include "harness/pad_link.h"
#include "harness/temp_dir.h"
#include "link/framing.h"

namespace korvex::testing {

// The CRC itself is pinned by its published check value in tests/support.
inline std::string WithCrc(const std::string& text) {
  const std::string frame = kStx + text + "\x03";
  const uint16_t crc = CalculateCRC16(frame.substr(1));
  return frame + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
}

inline Texts operator+(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Messages as they appear before their CRC.
inline std::string Msg(const std::string& text) {
  return kStx + text + "\x03";
}
inline std::string Bar(int stars) {
  return Msg("M" + std::string(stars, '*') + std::string(10 - stars, '-'));
}
inline std::string Block(uint32_t offset, const std::string& data) {
  const std::string length{static_cast<char>(data.size() >> 8), static_cast<char>(data.size())};
  const std::string at{static_cast<char>(offset >> 24), static_cast<char>(offset >> 16),
                       static_cast<char>(offset >> 8), static_cast<char>(offset)};
  return kStx + "W" + length + at + data;
}
// Every test file is last modified 5 March 2021 07:08:09, local time.
inline const std::string kStamp = "20210305070809";
inline std::string Header(const std::string& type, const std::string& size,
                          const std::string& name) {
  return Msg(type + size + "00000000" + kStamp + "XXXXXXXX" + name);
}
inline std::string Bytes(size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += static_cast<char>(i * 7 + 3);
  return out;
}
inline const Texts kOpening = {Msg("M--DOWNLOADING--"),
                               Msg("OD000000000000000019800101000000XXXXXXXXsetgroup.2"), Msg("C")};
inline const std::string kFs = "\x1C";
inline const Texts kClosing = {Msg("L*STACK" + kFs + "100"), Msg("L*CPPHEAP" + kFs + "80"),
                               Msg("MDOWNLOAD DONE"), Msg("S" + kFs + "80"), kEot};

inline JsonTerminal::Config KeyConfig(const Texts& ids) {
  JsonTerminal::Config c = BaseConfig();
  for (const std::string& id : ids) c.caKeys.push_back(Key(id, "\xA0\x00\x00\x00" + id));
  return c;
}

struct DownloadRig : PadLink, DownloadObserver {
  TempDir dir;
  JsonTerminal terminal{KeyConfig({"K1", "K2"})};
  std::vector<std::tuple<std::string, int64_t, int64_t>> progress;

  DownloadRig() {
    control.PinPadName = "P1";
    control.terminalObject = &terminal;
    control.downloadObserver = this;
    control.SetDownloadPath(dir.path());
  }
  void OnDownloadProgress(const std::string& name, int64_t sent, int64_t size) override {
    progress.emplace_back(name, sent, size);
  }

  // Writes a file below the download folder ("/" separators), stamped kStamp.
  void Put(const std::string& path, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(dir.File(path)).parent_path());
    dir.Write(path, bytes);
    struct tm local {};
    local.tm_year = 121, local.tm_mon = 2, local.tm_mday = 5;
    local.tm_hour = 7, local.tm_min = 8, local.tm_sec = 9, local.tm_isdst = -1;
    std::filesystem::last_write_time(
        dir.File(path),
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(mktime(&local))));
  }
  // Waiting for the loader's request with CRC frames, the files listed; the
  // request vfi arrives and sets the block size.
  void Request(const Texts& files, const std::string& vfi = "VFI") {
    Connect(STATE_DOWNLOAD_WAIT, 1000);
    control.ChecksumMode = 2;
    control.dl.DownloadFiles = files;
    Deliver(WithCrc(vfi));
    Forget();
  }
  // What the control sends after the loader's reply, without its CRC, which
  // is checked; EOT and silence come back as they are.
  std::string Next(const std::string& reply = kAck) {
    Forget();
    Deliver(reply);
    return Unframe(Wire());
  }
  static std::string Unframe(const std::string& wire) {
    if (wire.size() < 3 || wire[0] != kStx[0]) return wire;
    const std::string body = wire.substr(0, wire.size() - 2);
    const uint16_t crc = CalculateCRC16(body.substr(1));
    EXPECT_EQ(wire.substr(wire.size() - 2),
              (std::string{static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)}));
    return body;
  }
  // From the timer that starts the transfer up to the EOT, every message.
  // Each waits 3000 ms for the loader's ACK; what the silence then does in
  // each state is pinned by the link's timeout table.
  Texts Transfer() {
    Forget();
    host.RunFor(1000);
    Texts messages{Unframe(Wire())};
    while (messages.size() < 200 && messages.back().substr(0, 1) != kEot &&
           !messages.back().empty()) {
      EXPECT_TRUE(TimerOn(3000)) << "state " << control.fState;
      messages.push_back(Next());
    }
    messages.back() = messages.back().substr(0, 1);  // the reconnection follows the EOT
    return messages;
  }
  // Acknowledges until the control has sent what leaves it in state.
  void RunTo(int16_t state) {
    Forget();
    host.RunFor(1000);
    for (int i = 0; i < 200 && control.fState != state; ++i) Next();
    ASSERT_EQ(control.fState, state);
  }
};

}  // namespace korvex::testing
