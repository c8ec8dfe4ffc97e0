// What the router refuses, each with its log line and the connection closed,
// and what it applies and discards for a connection it accepts.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli/child_process.h"
#include "link/framing.h"
#include "router_rig.h"

namespace korvex::testing {
namespace {

const std::string kAck(1, ACK);

// Whatever a refused client sent, the pad got none of it and the client none of the pad.
void ExpectRefused(RouterRig& rig, RawClient& client, const std::string& logged) {
  ASSERT_TRUE(rig.Wait([&] { return client.Poll(); })) << rig.Log();
  EXPECT_EQ(client.received, "");
  EXPECT_TRUE(rig.Logged(logged)) << rig.Log();
  EXPECT_FALSE(rig.pad.GetTranscript().Contains("P01"));
}

struct Refusal {
  std::string bytes;
  bool thenClose;  // the client shuts its side, or else sends a P01 frame
  std::string logged;
  void (*configure)(router::RouterConfig&) = nullptr;
};

TEST(RouterRefusal, MalformedCommandsSlowClientsAndAddressesNotAllowed) {
  const Refusal cases[] = {
      {"GET / HTTP/1.1\r\n\r\n", false, "it does not start with SETCOMM"},
      // One space short: the frame's STX would be taken for padding.
      {"SETCOMM19200,n,8,1 ", false, "bytes other than spaces after the stop"},
      {"SETCOMM19200,n,8,1", true, "closed before its line command was complete (18 of 20"},
      {"SETCOMM12345,n,8,1  ", false, "unsupported baud rate 12345"},
      {"SETCOMM19200,m,8,1  ", false, "unsupported parity 'm'"},
      {"SETCOMM19200,n,9,1  ", false, "unsupported data bits"},
      {"SETCOMM19200,n,8,3  ", false, "unsupported stop bits"},
      {"SETCOMM,n,8,1       ", false, "no baud rate"},
      {"SETCOMM", false, "no complete line command within 50 ms",
       [](router::RouterConfig& c) { c.commandTimeoutMs = 50; }},
      {"SETCOMM19200,n,8,1  ", false, "refused connection from 127.0.0.1:",
       [](router::RouterConfig& c) {
         c.allow = {"10.0.0.0/8", "::1"};
       }},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.bytes);
    RouterRig rig;
    if (c.configure) c.configure(rig.config);
    rig.Start();
    RawClient client(rig.host.Context(), rig.Port());
    client.Send(c.bytes + (c.thenClose ? "" : WithLrc("P01")));
    if (c.thenClose) client.socket.shutdown(asio::socket_base::shutdown_send);
    ExpectRefused(rig, client, c.logged);
  }
}

// A second client is refused while the first keeps its pad, or takes the pad over.
TEST(RouterRefusal, SecondConnectionRefusedOrReplacing) {
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace ? "replace" : "refuse");
    RouterRig rig;
    rig.config.ports[0].replace = replace;
    rig.Start();
    RawClient first(rig.host.Context(), rig.Port());
    first.Send("SETCOMM19200,n,8,1  ");
    ASSERT_TRUE(rig.Wait([&] { return rig.Logged("line 19200,n,8,1"); })) << rig.Log();
    RawClient second(rig.host.Context(), rig.Port());
    second.Send("SETCOMM19200,n,8,1  ");
    RawClient& loser = replace ? first : second;
    RawClient& winner = replace ? second : first;
    ASSERT_TRUE(rig.Wait([&] { return loser.Poll(); })) << rig.Log();
    EXPECT_TRUE(rig.Logged(replace ? "replaced by a new connection" : "the device is in use by"))
        << rig.Log();
    winner.Send(WithLrc("P01"));
    ASSERT_TRUE(rig.Wait([&] { return winner.Poll() || winner.received.size() >= 11; }));
    EXPECT_EQ(winner.received, kAck + WithLrc("P010002"));
  }
}

TEST(RouterRefusal, DeviceMissingAtStartNamesIt) {
  TempDir dir;
  ChildProcess router(
      {"router/korvex-router", "--listen", "127.0.0.1:0", "--device", dir.File("no-such-tty")});
  EXPECT_EQ(router.Wait(10s), 1);
  EXPECT_NE(router.errors.find(dir.File("no-such-tty") + ": cannot open the device: No such file"),
            std::string::npos)
      << router.errors;
}

struct LineCase {
  std::string command;
  router::FlowControl flow;
  speed_t speed;
  tcflag_t cflags;  // within CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS
  tcflag_t iflags;  // within IXON | IXOFF
};

// Each command's line as the router builds it, and as the device keeps it: a
// pseudo-terminal forces 8 data bits without parity, so those two are checked
// on the settings built, the rest on the device as well.
TEST(RouterLine, AppliesEachCommandsSettingsAndFlowControl) {
  const LineCase cases[] = {
      {"SETCOMM19200,n,8,1  ", router::FlowControl::None, B19200, CS8, 0},
      {"SETCOMM115200,n,8,1 ", router::FlowControl::None, B115200, CS8, 0},
      {"SETCOMM9600,e,7,2   ", router::FlowControl::RtsCts, B9600, CS7 | PARENB | CSTOPB | CRTSCTS,
       0},
      {"SETCOMM2400,O,8,1   ", router::FlowControl::XonXoff, B2400, CS8 | PARENB | PARODD,
       IXON | IXOFF},
  };
  const tcflag_t kept = PARODD | CSTOPB | CRTSCTS;
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.command);
    termios built{};
    router::SetLine(built, *router::ParseLineCommand(c.command).setting, c.flow);
    EXPECT_EQ(built.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS), c.cflags);

    RouterRig rig;
    rig.config.ports[0].flow = c.flow;
    rig.Start();
    RawClient client(rig.host.Context(), rig.Port());
    client.Send(c.command);
    ASSERT_TRUE(rig.Wait([&] { return rig.Logged("line "); })) << rig.Log();
    const termios line = rig.Line();
    EXPECT_EQ(cfgetospeed(&line), c.speed);
    EXPECT_EQ(cfgetispeed(&line), c.speed);
    EXPECT_EQ(line.c_cflag & kept, c.cflags & kept);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), c.iflags);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
  EXPECT_NE(router::ParseLineCommand("SETCOMM19200,n,8,1   ").error.find("21 bytes, not 20"),
            std::string::npos);
}

// What the pad said while nobody listened is gone; what comes with the command
// reaches the pad; the trace shows both directions as text and hex.
TEST(RouterLine, DiscardsStaleBytesAndTracesTheConnection) {
  RouterRig rig;
  rig.config.ports[0].traceDir = rig.dir.path();
  rig.PlugPad();
  ASSERT_TRUE(rig.StartRouter()) << rig.startError;
  ASSERT_EQ(write(rig.master, "stale", 5), 5);  // before the pad serves its line
  rig.stream->Start();
  RawClient client(rig.host.Context(), rig.Port());
  client.Send("SETCOMM19200,n,8,1  " + WithLrc("P01"));
  ASSERT_TRUE(rig.Wait([&] { return client.Poll() || client.received.size() >= 11; }));
  EXPECT_EQ(client.received, kAck + WithLrc("P010002"));
  client.socket.close();
  ASSERT_TRUE(rig.Wait([&] { return rig.Logged("closed by the client"); })) << rig.Log();

  std::string trace;
  for (const auto& entry : std::filesystem::directory_iterator(rig.dir.path())) {
    if (entry.path().extension() == ".trace") trace = rig.dir.Read(entry.path().filename());
  }
  EXPECT_NE(trace.find("line command \"SETCOMM19200,n,8,1  \": 19200,n,8,1"), trace.npos) << trace;
  EXPECT_NE(trace.find("control -> pad  <STX>P01<ETX>R  [02 50 30 31 03 52]"), trace.npos) << trace;
  EXPECT_NE(trace.find("pad -> control  <ACK>"), trace.npos) << trace;
  EXPECT_NE(trace.find("closed by the client"), trace.npos) << trace;
  EXPECT_EQ(trace.find("stale"), trace.npos) << trace;
}

}  // namespace
}  // namespace korvex::testing
