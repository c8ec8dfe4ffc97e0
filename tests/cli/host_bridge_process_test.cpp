// `korvex host` as a POS program sees it: a child process on pipes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "cli/child_process.h"
#include "hash/secure_hash.h"
#include "korvex/json_terminal.h"
#include "harness/temp_dir.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::string BuildFile(const std::string& relative) {
  const char* dir = std::getenv("KORVEX_BUILD_DIR");
  return std::string(dir != nullptr ? dir : "build/dev") + "/" + relative;
}

std::string Tool() { return BuildFile("cli/korvex"); }

std::string SourceFile(const std::string& relative) {
  return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / relative)
      .string();
}

std::unique_ptr<ChildProcess> StartBridge(Lines options, const char* registryVariable = nullptr) {
  options.insert(options.begin(), {Tool(), "host"});
  return std::make_unique<ChildProcess>(options,
                                        EnvironmentWith("KORVEX_REGISTRY", registryVariable));
}

// Output lines up to and including the first one that `last` accepts; the
// lines so far plus "<timeout>" when it does not come within 10 s.
Lines ReadThrough(ChildProcess& bridge, const std::function<bool(const std::string&)>& last) {
  Lines lines;
  while (auto line = bridge.ReadLine(10s)) {
    lines.push_back(*line);
    if (last(*line)) return lines;
  }
  lines.push_back("<timeout>");
  return lines;
}

bool IsAnswer(const std::string& line) {
  return line.rfind(R"({"return":)", 0) == 0 || line.rfind(R"({"error":)", 0) == 0;
}

// Writes `call`; the output through its answer: events, then the answer.
Lines Call(ChildProcess& bridge, const std::string& call) {
  EXPECT_TRUE(bridge.Write(call + "\n"));
  return ReadThrough(bridge, IsAnswer);
}

TEST(HostBridgeProcessTest, AnswersEveryLineInOrderAndExitsAtEndOfInput) {
  auto bridge = StartBridge({});
  ASSERT_TRUE(bridge->Started());
  // All at once: each answer must still come in its line's turn.
  ASSERT_TRUE(
      bridge->Write("{\"call\":\"getState\",\"args\":[]}\n"
                    "{\"call\":\"getState\",\"args\":\n"
                    "\n"
                    "{\"call\":\"setName\",\"args\":[\"K\\u00e4ivitan \xC3\xB5\"]}\r\n"
                    "{\"call\":\"getName\",\"args\":[]}"));  // the last line has no '\n'
  bridge->CloseInput();

  Lines lines;
  while (auto line = bridge->ReadLine(10s)) lines.push_back(*line);
  EXPECT_THAT(lines,
              ElementsAre(R"({"return":0})", StartsWith(R"({"error":"malformed line: )"),
                          R"({"return":null})", "{\"return\":\"K\xC3\xA4ivitan \xC3\xB5\"}"));
  EXPECT_EQ(bridge->Wait(10s), 0);
}

TEST(HostBridgeProcessTest, BrokenConfigurationFilesStopTheBridgeWithTheirMessage) {
  TempDir dir;
  const std::string badReg = dir.Write("bad.reg", "REGEDIT4\r\n\r\nnot a key\r\n");
  const std::string badTerminal = dir.Write("bad.json", R"({"terminal": 5})");
  const struct {
    Lines options;
    const char* registryVariable;
    std::string mentions;
  } cases[] = {
      {{"--terminal", dir.File("missing.json")}, nullptr, dir.File("missing.json")},
      {{"--terminal", badTerminal}, nullptr, badTerminal + ": terminal"},
      {{"--registry", badReg}, nullptr, badReg + ":3:"},
      {{}, badReg.c_str(), "KORVEX_REGISTRY: " + badReg + ":3:"},
  };
  for (const auto& c : cases) {
    auto bridge = StartBridge(c.options, c.registryVariable);
    ASSERT_TRUE(bridge->Started());
    EXPECT_EQ(bridge->Wait(10s), 2) << c.mentions;
    EXPECT_NE(bridge->Errors().find(c.mentions), std::string::npos) << c.mentions;
  }
}

// The emulated PIN pad as its own process, listening where the registry
// file says; its port is the one it prints.
struct PinPadProcess {
  ChildProcess process;
  int port = 0;

  explicit PinPadProcess(const std::string& scenario)
      : process({BuildFile("emulator/korvex-pinpad"), "--listen", "127.0.0.1:0", "--scenario",
                 scenario},
                EnvironmentWith("KORVEX_REGISTRY", nullptr)) {
    const std::string prefix = "listening on 127.0.0.1:";
    while (auto line = process.ReadLine(10s)) {
      if (line->rfind(prefix, 0) == 0) {
        port = std::stoi(line->substr(prefix.size()));
        return;
      }
    }
  }
};

// A pad whose version record names the example terminal's key set but older
// tables, so that initialisation rebuilds the tables without a key download.
std::string OldTablesScenario(TempDir& dir) {
  std::string error;
  auto terminal = JsonTerminal::Load(SourceFile("examples/terminal.json"), error);
  EXPECT_NE(terminal, nullptr) << error;
  std::string ids;
  for (int16_t k = 1; terminal && k <= terminal->getERKCount(); ++k) ids += terminal->getERKID(k);
  const std::string fs = "\\u001c";
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
  };
  return dir.Write("scenario.json", "{\"application\": \"payment\", \"version\": \"" +
                                        repeat(fs, 5) + "OLDTABLES000" + repeat(fs, 7) +
                                        SHA1Hex(ids).substr(0, 30) + repeat(fs, 6) + "\"}");
}

TEST(HostBridgeProcessTest, DrivesTheEmulatedPinPadFromConnectionTestToInitCompleted) {
  TempDir dir;
  PinPadProcess pad(OldTablesScenario(dir));
  ASSERT_NE(pad.port, 0) << pad.process.Errors();
  const std::string reg =
      dir.Write("pads.reg",
                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\r\n"
                "\"RouterHost\"=\"127.0.0.1\"\r\n\"RouterPort\"=\"" +
                    std::to_string(pad.port) + "\"\r\n");
  auto bridge =
      StartBridge({"--terminal", SourceFile("examples/terminal.json"), "--registry", reg});
  ASSERT_TRUE(bridge->Started());

  EXPECT_EQ(Call(*bridge, R"({"call":"setName","args":["P1"]})").back(), R"({"return":null})");
  Call(*bridge, R"({"call":"setEMVRegistryKey","args":["Software\\Shop\\"]})");
  EXPECT_EQ(Call(*bridge, R"({"call":"InitFromReg","args":[]})").back(), R"({"return":0})");
  // Events raised by a call come before its answer.
  EXPECT_EQ(Call(*bridge, R"({"call":"setTerminalObject","args":[]})"),
            (Lines{R"({"event":"DebugEvent","level":4,"text":"Setting Terminal Object..."})",
                   R"({"event":"DebugEvent","level":5,"text":"Terminal Object set."})",
                   R"({"return":0})"}));
  EXPECT_EQ(Call(*bridge, R"({"call":"PerformConnectionTest","args":[1]})").back(),
            R"({"return":0})");

  // No more input: the outcome arrives from the socket on its own.
  auto awaitEvent = [&](const std::string& event) {
    const Lines later = ReadThrough(*bridge, [&](const std::string& l) { return l == event; });
    EXPECT_EQ(later.back(), event) << ::testing::PrintToString(later);
  };
  awaitEvent(R"({"event":"InterfaceEvent","type":0,"code":1107,"text":"EmvApp is ready"})");
  EXPECT_EQ(Call(*bridge, R"({"call":"getState","args":[]})").back(), R"({"return":111})");

  // The tables differ: every record is deleted, rebuilt and the version saved.
  EXPECT_EQ(Call(*bridge, R"({"call":"InitTransaction","args":[]})").back(), R"({"return":0})");
  awaitEvent(R"({"event":"InterfaceEvent","type":0,"code":1100,"text":"Init completed"})");

  bridge->CloseInput();
  EXPECT_EQ(bridge->Wait(10s), 0);
  pad.process.Terminate();
  EXPECT_EQ(pad.process.Wait(10s), 0);
}

}  // namespace
}  // namespace korvex::testing
