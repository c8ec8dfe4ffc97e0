// The emulator behind its adapters: on SimHost with the real control, and
// on a byte stream without a router.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "control/korvex_impl.h"
#include <asio.hpp>
#include "emulator/adapters/sim_pinpad.h"
#include "emulator/adapters/stream_pinpad.h"
#include "harness/recording_events.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using testing::Frame;
using testing::kAck;

class SimControl : public SocketEvents {
 public:
  explicit SimControl(SimHost& host) : socket(host.CreateSocket(*this)) {}
  void OnConnect() override {}
  void OnClose() override { closed = true; }
  void OnDataArrival(int32_t) override { received += socket->GetData(); }
  void OnError(int32_t, const std::string&) override {}
  std::unique_ptr<Socket> socket;
  std::string received;
  bool closed = false;
};

TEST(SimPinPad, AnswersOnSimHostInVirtualTimeAndClosesOnFault) {
  SimHost host;
  EmulatorConfig config;
  config.faults.push_back(testing::Rule(FaultKind::Close, "72"));
  SimPinPad pad(host, config);
  pad.Listen("router", 4001);
  SimControl control(host);
  control.socket->SetRemoteHost("router");
  control.socket->SetRemotePort(4001);
  control.socket->Connect();
  host.RunFor(5);
  control.socket->SendData(kSetComm19200 + Frame("I02"));
  host.RunFor(5);
  EXPECT_EQ(control.received, kAck + Frame("I02"));
  control.socket->SendData(kAck + Frame("72"));
  host.RunFor(5);
  EXPECT_TRUE(control.closed);
  EXPECT_FALSE(pad.Core().Connected());
}

// The control's own connection test, against the emulator instead of a script.
TEST(SimPinPad, ControlFindsThePaymentApplicationThroughTheLoader) {
  SimHost host;
  PadState state;
  state.app = PadApp::Loader;
  SimPinPad pad(host, EmulatorConfig{}, state);
  pad.Listen("router", 4001);
  korvex::testing::RecordingEvents events;
  Korvex::Impl control(host, events);
  control.Winsock1->SetRemoteHost("router");
  control.Winsock1->SetRemotePort(4001);
  control.fState = STATE_TERMINAL_SET;

  ASSERT_EQ(control.PerformConnectionTest(0), 0);
  EXPECT_TRUE(host.RunUntil([&] { return events.HasInterface(0, 1107); }, 20000))
      << pad.Core().GetTranscript().Dump();
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);
  EXPECT_EQ(pad.Core().App(), PadApp::Payment);
  EXPECT_TRUE(pad.Core().Violations().empty()) << pad.Core().ViolationSummary();
}

TEST(StreamPinPad, ServesADirectLineWithoutRouterCommand) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  asio::io_context io;
  Emulator core;
  StreamPinPad pad(io, fds[0], core);
  pad.Start();
  const std::string request = Frame("P01");
  ASSERT_EQ(write(fds[1], request.data(), request.size()), ssize_t(request.size()));
  std::string got;
  const std::string want = kAck + Frame("P010002");
  for (int i = 0; i < 100 && got.size() < want.size(); ++i) {
    io.run_for(std::chrono::milliseconds(10));
    char buf[64];
    const ssize_t n = recv(fds[1], buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) got.append(buf, size_t(n));
  }
  EXPECT_EQ(got, want);
  close(fds[1]);  // the line goes away: the core is disconnected
  for (int i = 0; i < 100 && !pad.Done(); ++i) io.run_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(pad.Done());
  EXPECT_FALSE(core.Connected());
  EXPECT_TRUE(core.Violations().empty()) << core.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
