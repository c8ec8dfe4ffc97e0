// A control on SimHost bound to a terminal set up in code. The terminal is a
// JsonTerminal over a configuration built by the test (no file, no checks),
// logging the identity calls so that their order can be verified.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "korvex/json_terminal.h"
#include "korvex/sim_host.h"

namespace korvex::testing {

using namespace std::string_literals;

#define FS_ "\x1C"

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

inline JsonTerminal::CaKey Key(std::string id, std::string rid) {
  return {
      std::move(id),
      {{7, std::move(rid)}, {8, "\x01"}, {12, "\x01"}, {13, "\x01"}, {14, "\x02"}, {15, "\x03"}}};
}

inline JsonTerminal::Config BaseConfig() {
  JsonTerminal::Config c;
  c.country = "233";
  c.currency = "978";
  c.terminalId = "TID1";
  c.merchantId = "MID1";
  c.acquirerId = "AI1";
  c.table1Field1 = "T1";
  c.aidTable.reference = "A4261201";
  c.mvtTable.reference = "M5261201";
  return c;
}

class LoggingTerminal : public JsonTerminal {
 public:
  using JsonTerminal::JsonTerminal;
  std::vector<std::string> log;

  int16_t getTableField(int16_t table, int16_t& record, int16_t field,
                        std::string& value) override {
    if (table == 1) log.push_back("table1:" + std::to_string(record) + "," + std::to_string(field));
    return JsonTerminal::getTableField(table, record, field, value);
  }
  std::string getMyCountry() override { return Logged("country", JsonTerminal::getMyCountry()); }
  std::string getMyCurrency() override { return Logged("currency", JsonTerminal::getMyCurrency()); }
  std::string getTerminalID() override { return Logged("tid", JsonTerminal::getTerminalID()); }
  std::string getMerchantID() override { return Logged("mid", JsonTerminal::getMerchantID()); }
  std::string getAIID() override { return Logged("aiid", JsonTerminal::getAIID()); }

 private:
  std::string Logged(const char* call, std::string value) {
    log.push_back(call);
    return value;
  }
};

struct TerminalRig {
  SimHost host;
  RecordingEvents events;
  std::unique_ptr<LoggingTerminal> terminal;
  Korvex::Impl control{host, events};

  LoggingTerminal& Bind(JsonTerminal::Config config) {
    terminal = std::make_unique<LoggingTerminal>(std::move(config));
    control.terminalObject = terminal.get();
    return *terminal;
  }
  std::vector<std::string> DebugTexts(int32_t level) const {
    std::vector<std::string> out;
    for (const auto& e : events.all) {
      if (e.kind == RecordedEvent::Debug && e.type == level) out.push_back(e.text);
    }
    return out;
  }
};

}  // namespace korvex::testing
