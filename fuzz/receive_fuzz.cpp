// Whatever the PIN pad (or the router) sends, in whatever pieces and with
// whatever time between them, the control must neither crash nor break its
// invariants (fuzz/invariants.h) after any step.
//
// Input: the first byte picks the waiting state to start from (one of those a
// real run passes through, or any other state code with the fields of a
// control that has just been initialised); each further byte is an
// operation, some followed by the bytes they send:
//   0x00-0x3F  raw bytes: the next 1-64 input bytes
//   0x40-0x7F  a frame: the next 1-64 input bytes between STX and ETX, with
//              the block check the control expects now
//   0x80-0xEF  virtual time passes (one of kAdvancesMs)
//   0xF0-0xF3  a lone ACK, NAK, ENQ or EOT
//   0xF4       the router closes the connection
//   0xF5       a flood: 256 copies of the next input byte; only the first
//              kMaxFloods of an input (enough to overrun the receive buffer's
//              bound, lowered here to kReceiveLimit), the others are skipped
//              with their byte
//   0xF6       what the real pad sent when the control first waited in its
//              present state (nothing where it never waited): the right
//              answer, so that a few bytes walk on through a run, with
//              mutations anywhere on the way
//   0xF7 p v   that answer with byte p (modulo the length of its first
//              frame's text) set to v and the block check made right again:
//              a value spoilt in a way the check byte does not show, in
//              replies far longer than an input (nothing where the answer
//              holds no frame)
//   others     ACK
// Inputs of odd length run with the control's traces read, the others as for
// a host that reads none: both ways through the trace code get fuzzed, and
// half the inputs skip building texts nobody looks at.
// Built once per process: the control, its simulated link and the starting
// states; each input restores a state, runs, and drops what is left in flight.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "control_snapshot.h"
#include "example_terminal.h"
#include "harness/quiet_link.h"
#include "invariants.h"
#include "link/framing.h"
#include "link/receive_bytes.h"
#include "state_tour.h"

namespace {

using namespace korvex;
using namespace korvex::fuzz;

// Around every interval of the reply timer and the link; the longest
// (10000 ms, a connection) plus one is enough for any timer row to run.
constexpr int64_t kAdvancesMs[] = {0,    1,    2,    5,    10,   50,   100,  199,
                                   200,  201,  499,  500,  501,  999,  1000, 1001,
                                   2999, 3000, 3001, 4999, 5000, 5001, 9999, 10001};

// The control's receive buffer holds this much here, seven times the longest
// frame the pad sends in the tour, so that five floods in an input of 16
// bytes pass it: at the real bound (a quarter of a megabyte) each try at
// overrunning it cost as much as a thousand other inputs, and a run spent
// most of its time there. A burst of 256 lone units already drives every hit
// counter the fuzzer watches into its top bucket.
constexpr size_t kReceiveLimit = 1024;
constexpr size_t kFloodBytes = 256;
// Floods past the bound only repeat the overflow.
constexpr int kMaxFloods = kReceiveLimit / kFloodBytes + 2;

// The starting states: those of the tour, then every other state code with
// the fields the tour had once initialised, waiting with a 3000 ms timer;
// and by state, what the pad answered there in the tour.
struct Starts {
  std::vector<ControlSnapshot> states;
  std::map<int16_t, std::string> replies;
};

Starts StartingStates(TerminalObject& terminal, const std::string& dir) {
  StateTour tour(terminal, dir);
  auto seen = tour.Run();
  const auto base = seen.count(STATE_INIT_DONE) ? seen.at(STATE_INIT_DONE) : ControlSnapshot{};
  for (int16_t code = 0; code <= STATE_RESULT_ERROR; ++code) {
    if (!KnownState(code) || seen.count(code)) continue;
    ControlSnapshot s = base;
    s.fState = code;
    s.timerMs = 3000;
    s.ChecksumMode = code >= STATE_DOWNLOAD_WAIT && code <= STATE_DOWNLOAD_CLOSING ? 2 : 1;
    seen.emplace(code, std::move(s));
  }
  Starts starts{{}, tour.TakeReplies()};
  for (auto& [code, s] : seen) starts.states.push_back(std::move(s));
  return starts;
}

struct Rig {
  DownloadDir dir;
  std::unique_ptr<JsonTerminal> terminal = LoadExampleTerminal();
  Starts starts = StartingStates(*terminal, dir.path);
  korvex::testing::QuietLink link;

  Rig() {
    link.host.keepWireLog = false;
    link.control.terminalObject = terminal.get();
    link.control.ReceiveBuffer = ReceiveBytes(kReceiveLimit);
  }

  // The control connected to the silent pad, nothing in flight.
  void Reconnect() {
    auto& c = link.control;
    if (c.Winsock1->State() == sckConnected && link.pad.connection != nullptr) return;
    c.Winsock1->Close();
    link.host.DropScheduled();
    c.ConnectRouter(STATE_CONNECT_TEST);
    link.host.RunFor(5);
    c.StopTimer();
    link.host.DropScheduled();
    link.host.ForgetClosedConnections();
  }

  void Check(const char* step) const {
    const char* broken = BrokenInvariant(link.control);
    if (broken == nullptr) return;
    std::fprintf(stderr, "invariant broken after %s: %s (state %d)\n", step, broken,
                 link.control.fState);
    std::abort();
  }

  void Send(const std::string& bytes) {
    if (link.pad.connection != nullptr) link.pad.connection->Send(bytes);
    link.host.RunFor(1);
    Check("bytes from the pad");
  }

  // The pad's answer for the present state; empty where it never waited.
  const std::string& Reply() const {
    static const std::string none;
    const auto reply = starts.replies.find(link.control.fState);
    return reply == starts.replies.end() ? none : reply->second;
  }

  // The answer with one byte of its first frame's text set, framed again.
  std::string Spoilt(size_t pos, char value) const {
    const std::string& reply = Reply();
    const size_t stx = reply.find(STX);
    const size_t etx = stx == std::string::npos ? stx : reply.find(ETX, stx);
    if (etx == std::string::npos || etx == stx + 1) return {};
    std::string text = reply.substr(stx + 1, etx - stx - 1);
    text[pos % text.size()] = value;
    const size_t checkBytes = link.control.ChecksumMode == 2 ? 2 : 1;
    return reply.substr(0, stx) + Frame(text) +
           reply.substr(std::min(reply.size(), etx + 1 + checkBytes));
  }

  std::string Frame(const std::string& text) const {
    std::string frame = Framed(text);
    if (link.control.ChecksumMode == 2) {
      const uint16_t crc = CalculateCRC16(std::string_view(frame).substr(1));
      return frame + static_cast<char>(crc >> 8) + static_cast<char>(crc & 0xFF);
    }
    return frame + static_cast<char>(CalculateLRC(frame));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  if (size < 1) return 0;
  rig.link.events.traces = (size & 1) != 0;
  rig.Reconnect();
  Restore(rig.starts.states[data[0] % rig.starts.states.size()], rig.link.control);
  rig.Check("the start");

  const auto bytes = [&](size_t pos, size_t n) {
    return std::string(reinterpret_cast<const char*>(data + pos), std::min(n, size - pos));
  };
  size_t pos = 1;
  int floods = 0;
  while (pos < size) {
    const uint8_t op = data[pos++];
    if (op < 0x80) {
      const size_t n = 1 + (op & 0x3F);
      const std::string piece = bytes(pos, n);
      pos += piece.size();
      rig.Send(op < 0x40 ? piece : rig.Frame(piece));
    } else if (op < 0xF0) {
      rig.link.host.RunFor(kAdvancesMs[(op - 0x80) % std::size(kAdvancesMs)]);
      rig.Check("time passing");
    } else if (op < 0xF4) {
      rig.Send(std::string(1, "\x06\x15\x05\x04"[op - 0xF0]));
    } else if (op == 0xF4) {
      if (rig.link.pad.connection != nullptr) rig.link.pad.connection->Close();
      rig.link.host.RunFor(1);
      rig.Check("the router closing");
    } else if (op == 0xF5 && pos < size) {
      const char byte = static_cast<char>(data[pos++]);
      if (floods++ < kMaxFloods) rig.Send(std::string(kFloodBytes, byte));
    } else if (op == 0xF6) {
      if (!rig.Reply().empty()) rig.Send(rig.Reply());
    } else if (op == 0xF7 && pos + 1 < size) {
      const std::string spoilt = rig.Spoilt(data[pos], static_cast<char>(data[pos + 1]));
      pos += 2;
      if (!spoilt.empty()) rig.Send(spoilt);
    } else {
      rig.Send(std::string(1, ACK));
    }
  }
  // Let the reply timer in force (10 s at most) run out once; running on
  // for a fixed 10 s instead would repeat short timers dozens of times.
  const Timer& timer = *rig.link.control.TimeoutTimer;
  rig.link.host.RunFor(timer.Enabled() ? timer.Interval() + 1 : 1);
  rig.Check("the final wait");
  rig.link.control.StopTimer();
  rig.link.host.DropScheduled();
  return 0;
}
