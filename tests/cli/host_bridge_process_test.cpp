// `korvex host` as a POS program sees it: a child process on pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/child_process.h"
#include "harness/repo_files.h"
#include "harness/temp_dir.h"
#include "hash/secure_hash.h"
#include "korvex/json_terminal.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kTerminal = RepoPath("examples/terminal.json");

// A wrong command line or an unusable file has one status whatever the parser finds, and
// stderr says why; --version and --help give 0 and their text. Lines written at once are
// answered in turn: a blank one is skipped, and lines that once killed the bridge or are
// overlong get an error each while it carries on; the last line needs no '\n' and the end
// of input ends the bridge. --trace-level drops the DebugEvents below it.
TEST(HostBridgeProcessTest, CommandLinesAndInputsGiveTheirOutputAndStatus) {
  TempDir dir;
  const std::string json = dir.Write("bad.json", R"({"terminal": 5})");
  const std::string reg = dir.Write("bad.reg", "REGEDIT4\n\nnot a key\n");
  const std::string missing = dir.File("missing");
  const std::string hostile =
      "{\"call\":\"setName\",\"args\":[\"P1\"]}\r\n\r\n" + std::string((1 << 20) + 1, ' ') + "\n" +
      R"({"call":"PerformConnectionTest","args":[1e400]})" + "\n" + R"({"call":"setName","args":)" +
      std::string(30000, '[') + std::string(30000, ']') + "}\n" + R"({"call":"getName"})";
  const std::string bind = R"({"call":"setTerminalObject"})";
  const std::string level4 =
      R"({"event":"DebugEvent","level":4,"text":"Setting Terminal Object..."})";
  const std::string level5 = R"({"event":"DebugEvent","level":5,"text":"Terminal Object set."})";
  const std::string bound = R"({"return":0})";
  const struct {
    Lines args;
    int status;
    std::string error;  // a piece of it
    std::string input = "";
    Lines output = {};  // the whole of it; a last line "..." stands for any lines left
  } cases[] = {
      {{}, 2, ""},  // no subcommand
      {{"demo", "--trace", "11"}, 2, ""},
      {{"demo", "--pad", "shiny"}, 2, "--pad"},
      {{"demo", "--download-folder", missing}, 2, "download folder '" + missing + "' not found"},
      {{"demo", "--download-folder", dir.path()}, 2, "has no Constant/EMVAPP.out: the pad would"},
      {{"host", "--bogus"}, 2, ""},
      {{"host", "extra"}, 2, ""},
      {{"host", "--terminal", json}, 2, json + ": terminal"},
      {{"host", "--registry", reg}, 2, reg + ":3:"},
      {{"host", "--router", "127.0.0.1:4001", "--registry", reg}, 2, "excludes"},
      {{"host", "--router", "pinpad:0"}, 2, "--router 'pinpad:0' is not HOST:PORT"},
      {{"--version"}, 0, "", "", {"korvex " KORVEX_VERSION}},
      {{"host", "--help"},
       0,
       "",
       "",
       {"Bridge for a POS program in any language: JSON lines in, JSON lines out.", "..."}},
      {{"host"},
       0,
       "",
       hostile,
       {R"({"return":null})", R"({"error":"malformed line: longer than 1048576 bytes"})",
        R"({"error":"malformed line: number overflow parsing '1e400'"})",
        R"({"error":"malformed line: nested deeper than 32 levels"})", R"({"return":"P1"})"}},
      {{"host", "--terminal", kTerminal, "--trace-level", "0"},
       0,
       "",
       bind,
       {level4, level5, bound}},
      {{"host", "--terminal", kTerminal, "--trace-level", "5"}, 0, "", bind, {level5, bound}},
      {{"host", "--terminal", kTerminal, "--trace-level", "11"}, 0, "", bind, {bound}},
  };
  for (const auto& c : cases) {
    Lines argv{"cli/korvex"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(argv.back());
    ChildProcess korvex(argv);
    EXPECT_TRUE(c.input.empty() || korvex.Write(c.input));
    korvex.CloseInput();
    Lines output;
    while (auto line = korvex.ReadLine(10s)) output.push_back(*line);
    EXPECT_EQ(korvex.Wait(10s), c.status) << korvex.errors;
    if (!c.output.empty() && c.output.back() == "..." && output.size() >= c.output.size()) {
      output.resize(c.output.size() - 1);
      output.push_back("...");
    }
    EXPECT_EQ(output, c.output);
    EXPECT_NE(korvex.errors.find(c.error), std::string::npos) << korvex.errors;
  }
}

// An output that fails ends the bridge with status 3 and says why, with its input still open.
TEST(HostBridgeProcessTest, AnOutputThatCannotBeWrittenEndsTheBridgeWithStatus3) {
  for (const auto& [redirect, reason] : {std::pair{">/dev/full", "No space left on device"},
                                         std::pair{">&-", "standard output is closed"}}) {
    ChildProcess bridge({"/bin/sh", "-c", std::string("exec \"$0\" host ") + redirect,
                         ChildProcess::BuildPath("cli/korvex")});
    EXPECT_TRUE(bridge.Write("{\"call\":\"getState\"}\n"));
    EXPECT_EQ(bridge.Wait(10s), 3) << redirect;
    EXPECT_EQ(bridge.errors, "korvex host: writing output: " + std::string(reason) + "\n");
  }
}

// A program that writes calls and never reads the answers: once the pipes and the few
// calls the bridge holds are full, it reads no more; every call it took is answered later.
TEST(HostBridgeProcessTest, CallsWrittenFasterThanAnswersAreReadStopTheReadingNotGrowTheBridge) {
  ChildProcess bridge({"cli/korvex", "host"});
  const std::string call = "{\"call\":\"getState\"}\n";
  std::string chunk;  // whole lines, at most PIPE_BUF bytes, so a write takes all or nothing
  while (chunk.size() + call.size() <= 4096) chunk += call;
  const size_t perChunk = chunk.size() / call.size();
  size_t calls = 0;  // up to 20 MB of calls, written as long as the bridge takes them
  while (calls * call.size() < 20'000'000 && bridge.WriteWithin(chunk, 2s)) calls += perChunk;
  // Two 64 KiB pipes, one read buffer and 16 calls: far below 1 MiB.
  EXPECT_LT(calls * call.size(), size_t(1) << 20);
  bridge.CloseInput();
  size_t answers = 0;
  while (auto line = bridge.ReadLine(10s)) answers += line->rfind(R"({"return":)", 0) == 0;
  EXPECT_EQ(answers, calls);
  EXPECT_EQ(bridge.Wait(10s), 0) << bridge.errors;
}

// The emulator as a PIN pad whose version record names the example terminal's key set but
// older tables, so that initialisation rebuilds the tables without a key download; and a
// registry file in `dir` pointing at it as P1.
struct PadProcess {
  explicit PadProcess(const TempDir& dir, std::vector<std::string> options = {}) {
    std::string error, ids, fs(7, '\x1C');
    auto terminal = JsonTerminal::Load(kTerminal, error);
    for (int16_t k = 1; terminal && k <= terminal->getERKCount(); ++k) ids += terminal->getERKID(k);
    const std::string scenario = dir.Write(
        "scenario.json", nlohmann::json{{"version", fs.substr(2) + "OLDTABLES000" + fs +
                                                        SHA1Hex(ids).substr(0, 30) + fs.substr(1)}}
                             .dump());
    options.insert(options.begin(),
                   {"emulator/korvex-pinpad", "--listen", "127.0.0.1:0", "--scenario", scenario});
    pad.emplace(options);
    const std::string listening = pad->ReadLine(10s).value_or("");
    EXPECT_EQ(listening.rfind("listening on 127.0.0.1:", 0), 0u) << pad->Wait(1s) << pad->errors;
    registry = dir.Write("pads.reg",
                         "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\n"
                         "\"RouterHost\"=\"127.0.0.1\"\n\"RouterPort\"=\"" +
                             listening.substr(std::min<size_t>(23, listening.size())) + "\"\n");
  }
  std::optional<ChildProcess> pad;
  std::string registry;
};

// A reader that stops reading: the output pipe holds one page, far less than the trace of
// the initialisation, yet the pad's transcript shows the whole of it to the version record's
// save while nothing is read. Read afterwards, the flow ended in 1100.
TEST(HostBridgeProcessTest, TheFlowKeepsTimeWithThePadWhileNobodyReadsTheOutput) {
  TempDir dir;
  PadProcess pad(dir, {"--transcript"});
  ChildProcess bridge({"cli/korvex", "host", "--terminal", kTerminal, "--registry", pad.registry});
  bridge.ShrinkOutputPipe();
  // Waits until the pad's transcript has a line holding `piece`.
  const auto padSays = [&](const std::string& piece) {
    while (auto line = pad.pad->ReadLine(20s)) {
      if (line->find(piece) != std::string::npos) return true;
    }
    return false;
  };
  ASSERT_TRUE(bridge.Write(R"({"call":"setName","args":["P1"]})"
                           "\n"
                           R"({"call":"setEMVRegistryKey","args":["Software\\Shop\\"]})"
                           "\n"
                           R"({"call":"InitFromReg"})"
                           "\n"
                           R"({"call":"setTerminalObject"})"
                           "\n"
                           R"({"call":"PerformConnectionTest","args":[1]})"
                           "\n"));
  std::optional<std::string> line;
  while ((line = bridge.ReadLine(10s)) && line->find("InterfaceEvent") == std::string::npos) {
    continue;
  }
  ASSERT_EQ(line.value_or("<end>"),
            R"({"event":"InterfaceEvent","type":0,"code":1107,"text":"EmvApp is ready"})");
  // From here on nothing is read until the pad has saved the version record.
  ASSERT_TRUE(bridge.Write("{\"call\":\"InitTransaction\"}\n"));
  ASSERT_TRUE(padSays("pad -> control  <STX>D0500"));
  ASSERT_TRUE(padSays("control -> pad  <ACK>"));  // sent as the control handles the reply
  bridge.CloseInput();
  Lines events;
  size_t bytes = 0;
  while (auto line = bridge.ReadLine(10s)) {
    bytes += line->size() + 1;
    if (line->find(R"("event":"InterfaceEvent")") != std::string::npos) events.push_back(*line);
  }
  EXPECT_GT(bytes, 2 * 4096u);  // more than the pipe held: the bridge did queue it
  EXPECT_EQ(events,
            (Lines{R"({"event":"InterfaceEvent","type":0,"code":1100,"text":"Init completed"})"}));
  EXPECT_EQ(bridge.Wait(10s), 0) << bridge.errors;
}

}  // namespace
}  // namespace korvex::testing
