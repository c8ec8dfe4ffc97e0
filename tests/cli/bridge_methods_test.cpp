// The bridge's method table and the order of its answers, driven line by line
// without a process.
#include "cli/bridge_methods.h"
#include "cli/line_dispatcher.h"

#include <gtest/gtest.h>

#include <sstream>

#include "harness/recording_events.h"
#include "korvex/json_terminal.h"
#include "korvex/sim_host.h"

namespace korvex::cli {
namespace {

class KorvexMethodsTest : public ::testing::Test {
 protected:
  std::string Answer(const std::string& line) {
    return KorvexMethods().Answer(line, target).dump();
  }

  SimHost host;
  korvex::testing::RecordingEvents events;
  Korvex control{host, events};
  JsonTerminal terminal{JsonTerminal::Config{}};
  BridgeTarget target{control, nullptr};
};

TEST_F(KorvexMethodsTest, CallsReachTheControlAndReturnTypedValues) {
  EXPECT_EQ(Answer(R"({"call": "getState", "args": []})"), R"({"return":0})");
  EXPECT_EQ(Answer(R"({"call": "setName", "args": ["K\u00e4ivitan"]})"), R"({"return":null})");
  EXPECT_EQ(control.getName(), "K\xE4ivitan");
  EXPECT_EQ(Answer(R"({"call": "getName"})"), "{\"return\":\"K\xC3\xA4ivitan\"}");
  EXPECT_EQ(Answer(R"({"call": "setEMVRegistryKey", "args": ["Software\\Shop\\"]})"),
            R"({"return":null})");
  EXPECT_EQ(Answer(R"({"call": "InitFromReg", "args": []})"), R"({"return":0})");
  // The widest Integer values are passed; nothing is bound yet, so refused.
  EXPECT_EQ(Answer(R"({"call": "PerformConnectionTest", "args": [-32768]})"), R"({"return":1})");
  EXPECT_EQ(Answer(R"({"call": "PerformConnectionTest", "args": [32767]})"), R"({"return":1})");

  target.terminal = &terminal;
  EXPECT_EQ(Answer(R"({"call": "setTerminalObject", "args": []})"), R"({"return":0})");
  EXPECT_EQ(control.getState(), 1);
  EXPECT_EQ(Answer(R"({"call": "ColdReset", "args": []})"), R"({"return":null})");
  EXPECT_EQ(Answer(R"({"call": "getHostIndex", "args": []})"), R"({"return":-1})");
}

TEST_F(KorvexMethodsTest, BadLinesAreAnsweredWithAClearErrorAndChangeNothing) {
  control.setName("P1");
  const struct {
    const char* line;
    const char* error;
  } cases[] = {
      {R"({"call": "getState", "args": [})", "malformed line: parse error at line 1, column 31"},
      {R"(["getState"])", "malformed line: expected a JSON object"},
      {R"({"call": 7})", R"(malformed line: "call" must be a string naming the method)"},
      {R"({"call": "setName", "args": "P2"})", R"(malformed line: "args" must be an array)"},
      {R"({"call": "setName", "arg": ["P2"]})", R"(malformed line: unknown key "arg")"},
      {R"({"call": "Foo", "args": []})", "unknown method: Foo"},
      {R"({"call": "getState", "args": [1]})", "getState: expects no arguments, got 1"},
      {R"({"call": "setName", "args": []})", "setName: expects 1 argument, got 0"},
      {R"({"call": "setName", "args": [2]})", "setName: argument 1 must be a string"},
      {R"({"call": "setName", "args": ["P\u0100"]})",
       "setName: argument 1 is not a byte text: character U+0100 is above U+00FF"},
      {R"({"call": "PerformConnectionTest", "args": ["1"]})",
       "PerformConnectionTest: argument 1 must be an integer"},
      {R"({"call": "PerformConnectionTest", "args": [1.5]})",
       "PerformConnectionTest: argument 1 must be an integer"},
      {R"({"call": "PerformConnectionTest", "args": [32768]})",
       "PerformConnectionTest: argument 1 is out of range -32768..32767"},
      {R"({"call": "setTerminalObject", "args": []})",
       "setTerminalObject: no terminal object: start the bridge with --terminal FILE.json"},
  };
  for (const auto& c : cases) {
    const Json answer = KorvexMethods().Answer(c.line, target);
    ASSERT_EQ(answer.size(), 1u) << c.line;
    EXPECT_EQ(answer.value("error", "").substr(0, std::string(c.error).size()), c.error)
        << answer.dump();
  }
  EXPECT_EQ(control.getName(), "P1");
  EXPECT_EQ(control.getState(), 0);
  EXPECT_TRUE(events.all.empty());
}

// A table whose one row takes every other kind and echoes what it received.
MethodTable ProbeTable() {
  using K = ArgKind;
  return MethodTable({
      {"Probe",
       {K::kLong, K::kByte, K::kDouble, K::kBoolean},
       [](BridgeTarget&, const BridgeArgs& a) -> Json {
         return Json::array({a.Long(0), a.Byte(1), a.Double(2), a.Boolean(3)});
       }},
      {"Boom", {}, [](BridgeTarget&, const BridgeArgs& a) -> Json { return a.Text(0); }},
  });
}

TEST_F(KorvexMethodsTest, OtherKindsAreCheckedAgainstTheirWidths) {
  const MethodTable table = ProbeTable();
  const auto probe = [&](const std::string& args) {
    return table.Answer(R"({"call": "Probe", "args": )" + args + "}", target).dump();
  };
  EXPECT_EQ(probe("[-2147483648, 255, 1, true]"), R"({"return":[-2147483648,255,1.0,true]})");
  EXPECT_EQ(probe("[2147483647, 0, -0.5, false]"), R"({"return":[2147483647,0,-0.5,false]})");
  EXPECT_EQ(probe("[18446744073709551615, 0, 0, true]"),
            R"({"error":"Probe: argument 1 is out of range -2147483648..2147483647"})");
  EXPECT_EQ(probe("[0, 256, 0, true]"), R"({"error":"Probe: argument 2 is out of range 0..255"})");
  EXPECT_EQ(probe(R"([0, 0, "1", true])"), R"({"error":"Probe: argument 3 must be a number"})");
  EXPECT_EQ(probe("[0, 0, 0, 1]"), R"({"error":"Probe: argument 4 must be true or false"})");
  // A fault inside a row is answered, not thrown at the bridge.
  EXPECT_EQ(table.Answer(R"({"call": "Boom"})", target).value("error", "").substr(0, 14),
            "Boom: failed: ");
}

using LineDispatcherTest = KorvexMethodsTest;

TEST_F(LineDispatcherTest, ALineDeliveredInsideACallIsAnsweredAfterIt) {
  std::ostringstream out;
  JsonLineWriter writer(out);
  LineDispatcher* dispatcher = nullptr;
  int counted = 0;
  const MethodTable table({
      {"Yield",
       {},
       [&](BridgeTarget&, const BridgeArgs&) -> Json {
         // What the host loop does when a call yields with the next line queued.
         dispatcher->OnLine({R"({"call": "Count"})"});
         return "yielded";
       }},
      {"Count", {}, [&](BridgeTarget&, const BridgeArgs&) -> Json { return ++counted; }},
  });
  LineDispatcher lines(table, target, writer);
  dispatcher = &lines;

  lines.OnLine({R"({"call": "Yield"})"});
  lines.OnLine({" \r"});
  lines.OnLine({"", true});
  EXPECT_FALSE(lines.Done());
  lines.OnEnd();
  EXPECT_TRUE(lines.Done());
  EXPECT_EQ(out.str(),
            "{\"return\":\"yielded\"}\n"
            "{\"return\":1}\n"
            "{\"error\":\"malformed line: longer than 1048576 bytes\"}\n");
}

}  // namespace
}  // namespace korvex::cli
