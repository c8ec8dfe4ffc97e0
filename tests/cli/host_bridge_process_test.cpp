// `korvex host` as a POS program sees it: a child process on pipes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/child_process.h"
#include "harness/temp_dir.h"
#include "hash/secure_hash.h"
#include "korvex/json_terminal.h"

namespace korvex::testing {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const std::string kSource = __FILE__;
const std::string kTerminal = kSource.substr(0, kSource.rfind("tests/")) + "examples/terminal.json";

// Writes `input` (and '\n') unless empty; the output through the `n`th line starting with
// `through`, or else all of it and "<end>" when it ends or pauses for 10 s.
Lines Exchange(ChildProcess& bridge, const std::string& input,
               const std::string& through = R"({"return":)", int n = 1) {
  EXPECT_TRUE(input.empty() || bridge.Write(input + "\n"));
  Lines lines;
  while (auto line = bridge.ReadLine(10s)) {
    lines.push_back(*line);
    if (line->rfind(through, 0) == 0 && --n == 0) return lines;
  }
  lines.push_back("<end>");
  return lines;
}

TEST(HostBridgeProcessTest, BrokenConfigurationFilesStopTheBridgeWithTheirMessage) {
  TempDir dir;
  for (const auto& [option, file, problem] :
       {std::tuple{"--terminal", dir.Write("bad.json", R"({"terminal": 5})"), ": terminal"},
        std::tuple{"--registry", dir.Write("bad.reg", "REGEDIT4\n\nnot a key\n"), ":3:"}}) {
    ChildProcess bridge({"cli/korvex", "host", option, file});
    EXPECT_EQ(bridge.Wait(10s), 2) << file;
    EXPECT_NE(bridge.errors.find(file + problem), std::string::npos) << bridge.errors;
  }
}

TEST(HostBridgeProcessTest, DrivesThePinPadProcessFromConnectionTestToInitCompleted) {
  // The pad's version record names the example terminal's key set but older
  // tables, so that initialisation rebuilds the tables without a key download.
  std::string error, ids, fs(7, '\x1C');
  auto terminal = JsonTerminal::Load(kTerminal, error);
  for (int16_t k = 1; terminal && k <= terminal->getERKCount(); ++k) ids += terminal->getERKID(k);
  TempDir dir;
  const std::string scenario = dir.Write(
      "scenario.json", nlohmann::json{{"version", fs.substr(2) + "OLDTABLES000" + fs +
                                                      SHA1Hex(ids).substr(0, 30) + fs.substr(1)}}
                           .dump());
  ChildProcess pad({"emulator/korvex-pinpad", "--listen", "127.0.0.1:0", "--scenario", scenario});
  const std::string listening = pad.ReadLine(10s).value_or("");
  ASSERT_EQ(listening.rfind("listening on 127.0.0.1:", 0), 0u) << pad.Wait(1s) << pad.errors;
  const std::string reg =
      dir.Write("pads.reg",
                "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\n"
                "\"RouterHost\"=\"127.0.0.1\"\n\"RouterPort\"=\"" +
                    listening.substr(23) + "\"\n");
  ChildProcess bridge({"cli/korvex", "host", "--terminal", kTerminal, "--registry", reg});

  // Lines written at once are answered in turn, an overlong one too; a blank one is skipped.
  const std::string batch = "{\"call\":\"setName\",\"args\":[\"P1\"]}\r\n\r\n" +
                            std::string((1 << 20) + 1, ' ') +
                            "\n{\"call\":\"setEMVRegistryKey\",\"args\":[\"Software\\\\Shop\\\\\"]}"
                            "\r\n{\"call\":\"InitFromReg\"}";
  EXPECT_EQ(Exchange(bridge, batch, R"({"return":)", 3),
            (Lines{R"({"return":null})", R"({"error":"malformed line: longer than 1048576 bytes"})",
                   R"({"return":null})", R"({"return":0})"}));
  // Events raised by a call come before its answer.
  EXPECT_EQ(Exchange(bridge, R"({"call":"setTerminalObject","args":[]})"),
            (Lines{R"({"event":"DebugEvent","level":4,"text":"Setting Terminal Object..."})",
                   R"({"event":"DebugEvent","level":5,"text":"Terminal Object set."})",
                   R"({"return":0})"}));
  EXPECT_EQ(Exchange(bridge, R"({"call":"PerformConnectionTest","args":[1]})").back(),
            R"({"return":0})");
  // No more input: the outcome arrives from the socket on its own.
  EXPECT_EQ(Exchange(bridge, "", R"({"event":"InterfaceEvent")").back(),
            R"({"event":"InterfaceEvent","type":0,"code":1107,"text":"EmvApp is ready"})");
  EXPECT_EQ(Exchange(bridge, R"({"call":"InitTransaction","args":[]})").back(), R"({"return":0})");
  EXPECT_EQ(Exchange(bridge, "", R"({"event":"InterfaceEvent")").back(),
            R"({"event":"InterfaceEvent","type":0,"code":1100,"text":"Init completed"})");
  // The last line needs no '\n'; end of input ends the bridge.
  ASSERT_TRUE(bridge.Write(R"({"call":"getName"})"));
  bridge.CloseInput();
  EXPECT_EQ(Exchange(bridge, "", "<none>"), (Lines{R"({"return":"P1"})", "<end>"}));
  EXPECT_EQ(bridge.Wait(10s), 0);
}

}  // namespace
}  // namespace korvex::testing
