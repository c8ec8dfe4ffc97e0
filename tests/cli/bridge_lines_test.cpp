// The bridge's lines without a process: texts as U+00nn, the method table and
// the order of the answers.
#include <gtest/gtest.h>

#include <string>

#include "cli/bridge_methods.h"
#include "cli/byte_text.h"
#include "cli/line_dispatcher.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"

namespace korvex::cli {
namespace {

// Texts are quoted into the lines without the JSON library, so its dump is the
// reference: every byte, and broken UTF-8 replaced just where it replaces it.
TEST(ByteTextTest, EveryByteRoundTripsAndQuotesAsTheJsonLibrarysDump) {
  const auto dumped = [](const std::string& utf8) {
    return nlohmann::json(utf8).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  };
  std::string all, back, error, quoted;
  for (int b = 0; b < 256; ++b) all += char(b);
  EXPECT_EQ(BytesToUtf8(std::string("\0K\x80\xE4", 4)), std::string("\0K\xC2\x80\xC3\xA4", 6));
  ASSERT_TRUE(Utf8ToBytes(BytesToUtf8(all), back, error)) << error;
  EXPECT_EQ(back, all);
  EXPECT_FALSE(Utf8ToBytes("ab\xC4\x80", back, error));
  EXPECT_EQ(error, "character U+0100 is above U+00FF");

  AppendQuotedBytes(quoted, all);
  EXPECT_EQ(quoted, dumped(BytesToUtf8(all)));
  for (const std::string& text :
       {BytesToUtf8(all), std::string("\"\xE2\x82\xAC\x7F\n"),
        std::string("a\xC3\x28\xE2\x82\"\xF0\x9F\x98\x80\xFFz"),
        // overlong, surrogate, past U+10FFFF, cut off by the end
        std::string("\xC0\xAF\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\xF0\x9F\x98")}) {
    quoted.clear();
    AppendQuotedUtf8(quoted, text);
    EXPECT_EQ(quoted, dumped(text));
  }
}

class BridgeTest : public ::testing::Test {
 protected:
  SimHost host;
  korvex::testing::RecordingEvents events;
  Korvex control{host, events};
  BridgeTarget target{control, nullptr};
};

// The kinds and counts of every method's arguments are checked before the call. The
// README's error examples add a Text given a number and a Byte above its range.
TEST_F(BridgeTest, EachLineGetsItsReturnOrAClearErrorThatChangesNothing) {
  // A line and its answer, or the start of its error message.
  using Row = std::pair<const char*, const char*>;
  for (const auto& [line, answer] : std::initializer_list<Row>{
           {R"({"call": "setName", "args": ["K\u00e4ivitan"]})", R"({"return":null})"},
           {R"({"call": "getName"})", "{\"return\":\"K\xC3\xA4ivitan\"}"},
           {R"({"call": "getState", "args": [})", "malformed line: parse error at line 1"},
           {R"(["getState"])", "malformed line: expected a JSON object"},
           {R"({"call": 7})", R"(malformed line: \"call\" must be a string naming the method)"},
           {R"({"call": "setName", "args": "P2"})", R"(malformed line: \"args\" must be an array)"},
           {R"({"call": "setName", "arg": ["P2"]})", R"(malformed line: unknown key \"arg\")"},
           {R"({"call": "Foo", "args": []})", "unknown method: Foo"},
           // A key given twice keeps its later value; the first stray key is named.
           {R"({"call": "setName", "call": "getName"})", "{\"return\":\"K\xC3\xA4ivitan\"}"},
           {R"({"args": ["P2"], "call": "getName", "args": []})",
            "{\"return\":\"K\xC3\xA4ivitan\"}"},
           {R"({"call": "getName", "x": 1, "y": 2, "x": 3})",
            R"(malformed line: unknown key \"x\")"},
           {R"({"call": "getState", "args": [null, [1], {"a": [2]}]})",
            "getState: expects no arguments, got 3"},
           {R"({"call": "setName", "args": []})", "setName: expects 1 argument, got 0"},
           {R"({"call":"setName","args":["\u0100"]})", "setName: argument 1 is not a byte text"},
           {R"({"call": "PerformConnectionTest", "args": [1.5]})",
            "PerformConnectionTest: argument 1 must be an integer"},
           {R"({"call": "PerformConnectionTest", "args": [-32769]})",
            "PerformConnectionTest: argument 1 is out of range -32768..32767"},
           {R"({"call": "PerformConnectionTest", "args": [18446744073709551615]})",
            "PerformConnectionTest: argument 1 is out of range -32768..32767"},
           // Past 64 bits a whole number is read as a double, as the JSON library reads it.
           {R"({"call": "PerformConnectionTest", "args": [-9223372036854775809]})",
            "PerformConnectionTest: argument 1 must be an integer"},
           {R"({"call": "setTerminalObject", "args": []})",
            "setTerminalObject: no terminal object: start"},
           // The widest Integer values are passed; nothing is bound yet, so refused.
           {R"({"call": "PerformConnectionTest", "args": [-32768]})", R"({"return":1})"},
           {R"({"call": "PerformConnectionTest", "args": [32767]})", R"({"return":1})"},
           // The card-transaction calls, refused before the call; each kind's check once.
           {R"({"call": "StartTransaction", "args": ["240131120000", 1.5, 978]})",
            "StartTransaction: expects 4 arguments, got 3"},
           {R"({"call": "StartTransaction", "args": ["240131120000", "1.50", 978, true]})",
            "StartTransaction: argument 2 must be a number"},
           {R"({"call": "StartTransaction", "args": ["240131120000", 1.5, 32768, true]})",
            "StartTransaction: argument 3 is out of range -32768..32767"},
           {R"({"call": "StartTransaction", "args": ["240131120000", 1.5, 978, 1]})",
            "StartTransaction: argument 4 must be true or false"},
           {R"({"call": "ChangeTransactionAmount", "args": [null]})",
            "ChangeTransactionAmount: argument 1 must be a number"},
           {R"({"call": "GetFirstCrypto", "args": [-1, false]})",
            "GetFirstCrypto: argument 1 is out of range 0..255"},
           {R"({"call": "GetFirstCrypto", "args": [1, "false"]})",
            "GetFirstCrypto: argument 2 must be true or false"},
           {R"({"call": "GetSecondCrypto", "args": [1, "", "", "", 0]})",
            "GetSecondCrypto: argument 5 must be a string"},
           // The stall guard's time: a Long, negative refused by the control.
           {R"({"call": "setStallGuardMs", "args": [-1]})", R"({"return":7})"},
           {R"({"call": "setStallGuardMs", "args": [45000]})", R"({"return":0})"},
           {R"({"call": "getStallGuardMs", "args": []})", R"({"return":45000})"},
           {R"({"call": "setStallGuardMs", "args": [2147483648]})",
            "setStallGuardMs: argument 1 is out of range -2147483648..2147483647"},
       }) {
    const std::string expected = answer[0] == '{' ? answer : R"({"error":")" + std::string(answer);
    EXPECT_EQ(KorvexMethods().Answer(line, target).substr(0, expected.size()), expected);
  }
  EXPECT_EQ(control.getName(), "K\xE4ivitan");
}

TEST_F(BridgeTest, EveryKindReachesTheCallAtItsFullRange) {
  const MethodTable table({{"Echo",
                            {ArgKind::kLong, ArgKind::kByte, ArgKind::kDouble, ArgKind::kBoolean},
                            [](BridgeTarget&, const BridgeArgs& a) -> Json {
                              return {a.Long(0), a.Byte(1), a.Double(2), a.Boolean(3)};
                            }}});
  using Row = std::pair<const char*, const char*>;
  for (const auto& [args, answer] : std::initializer_list<Row>{
           {"[2147483647, 255, 1e300, true]", R"({"return":[2147483647,255,1e+300,true]})"},
           {"[-2147483648, 0, 12, false]", R"({"return":[-2147483648,0,12.0,false]})"},
           {"[2147483648, 0, 0, true]",
            R"({"error":"Echo: argument 1 is out of range -2147483648..2147483647"})"},
           {"[-2147483649, 0, 0, true]",
            R"({"error":"Echo: argument 1 is out of range -2147483648..2147483647"})"},
       }) {
    EXPECT_EQ(table.Answer(R"({"call": "Echo", "args": )" + std::string(args) + "}", target),
              answer);
  }
}

TEST_F(BridgeTest, ALineDeliveredInsideACallIsAnsweredAfterIt) {
  using T = BridgeTarget&;
  using A = const BridgeArgs&;
  OutputQueue out(1 << 20);
  JsonLineWriter writer(out);
  LineDispatcher* lines = nullptr;
  const MethodTable table({
      // What the host loop does when a call yields with the next line queued.
      {"Yield",
       {},
       [&](T, A) -> Json { return lines->OnLine({R"({"call": "Boom"})"}), "yielded"; }},
      // A fault inside a row is answered, not thrown at the bridge.
      {"Boom", {}, [](T, A) -> Json { throw std::runtime_error("x"); }},
  });
  LineDispatcher dispatcher(table, target, writer);
  lines = &dispatcher;
  dispatcher.OnLine({R"({"call": "Yield"})"});
  // A blank line needs no answer but still stands in the queue for its call slot.
  dispatcher.OnLine({" \r"});
  out.Close();
  std::vector<std::pair<std::string, LineKind>> written;
  while (auto line = out.Pop()) written.emplace_back(line->text, line->kind);
  EXPECT_EQ(written, (std::vector<std::pair<std::string, LineKind>>{
                         {R"({"return":"yielded"})", LineKind::kAnswer},
                         {R"({"error":"Boom: failed: x"})", LineKind::kAnswer},
                         {"", LineKind::kAnswer}}));
}

// Lines built to hurt the parser are refused with an error and nothing is called; the
// nesting limit counts brackets, not the brackets inside strings.
TEST_F(BridgeTest, HostileLinesAreRefusedWithAnErrorAndNestingHasALimit) {
  const auto nested = [](size_t depth, const std::string& inner = "") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
  };
  const std::string call = R"({"call":"setName","args":)";
  const std::string unterminated =  // with the quote escaped in JSON: 2 bytes for 1
      R"(parse error at line 1, column 5002: syntax error while parsing value - invalid )"
      R"(string: missing closing quote; last read: '\")";
  using Row = std::pair<std::string, std::string>;
  for (const auto& [line, answer] : std::initializer_list<Row>{
           {R"({"call":"PerformConnectionTest","args":[1e400]})",
            R"({"error":"malformed line: number overflow parsing '1e400'"})"},
           {call + nested(30000) + "}",
            R"({"error":"malformed line: nested deeper than 32 levels"})"},
           {call + nested(kMaxNesting) + "}",
            R"({"error":"malformed line: nested deeper than 32 levels"})"},
           {call + nested(kMaxNesting - 1) + "}",
            R"({"error":"setName: argument 1 must be a string"})"},
           {call + "[\"" + nested(40, "\\\"") + "\"]}", R"({"return":null})"},
           // The parser quotes the whole token: its reason is cut at 200 bytes.
           {"\"" + std::string(5000, 'x'), R"({"error":"malformed line: )" + unterminated +
                                               std::string(200 - (unterminated.size() - 1), 'x') +
                                               "...\"}"},
       }) {
    EXPECT_EQ(KorvexMethods().Answer(line, target), answer) << line.substr(0, 80);
  }
  EXPECT_EQ(control.getName(), std::string(40, '[') + "\"" + std::string(40, ']'));
}

}  // namespace
}  // namespace korvex::cli
