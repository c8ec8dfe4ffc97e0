// korvex demo: a PIN pad comes up and gets its tables, end to end over real
// TCP. The emulated pad runs in this process on a free loopback port; its CA
// keys match the bundled terminal but its tables are old, so the first
// initialisation rebuilds them and the second finds nothing to do.
#include "cli/demo.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <asio.hpp>
#include "cli/demo_terminal.h"
#include "emulator/adapters/tcp_server.h"
#include "emulator/core/emulator.h"
#include "emulator/core/wire_text.h"
#include "hash/secure_hash.h"
#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/memory_registry.h"
#include "link/framing.h"
#include "support/code_page.h"

namespace korvex::cli {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kPadName = "DEMO";
const char* const kRegistryKey = "Software\\Korvex\\";
const char* const kPadKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvex\\PinPads\\DEMO";

// Prints what the control reports and keeps what the demo waits for.
class DemoEvents : public KorvexEvents {
 public:
  DemoEvents(std::ostream& out, int traceLevel, Clock::time_point start)
      : out_(out), traceLevel_(traceLevel), start_(start) {}

  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override {
    out_ << Stamp() << "InterfaceEvent " << EventType << "/" << Code << " "
         << CodePageToUtf8(Text) << "\n";
    if (EventType != 0) failure = Describe(EventType, Code, Text);
    if (EventType == 0) lastSuccess = Code;
  }

  void DebugEvent(int16_t& DebugLevel, std::string& Text) override {
    if (Text == "Deleting EST Record." || Text == "Deleting MVT Record.") ++deleted;
    if (Text == "Lisan EST kirje" || Text == "Lisan MVT kirje") ++added;
    if (traceLevel_ > 0 && DebugLevel >= traceLevel_) {
      // Frames carry control characters; show them by name.
      out_ << Stamp() << "  debug " << DebugLevel << ": "
           << CodePageToUtf8(emu::DescribeBytes(Text)) << "\n";
    }
  }

  std::optional<std::string> failure;
  std::optional<int32_t> lastSuccess;
  int deleted = 0;
  int added = 0;

 private:
  static std::string Describe(int32_t type, int32_t code, const std::string& text) {
    return "InterfaceEvent " + std::to_string(type) + "/" + std::to_string(code) + " " +
           CodePageToUtf8(text);
  }
  std::string Stamp() const {
    const double s = std::chrono::duration<double>(Clock::now() - start_).count();
    char buf[32];
    std::snprintf(buf, sizeof buf, "[%7.3fs] ", s);
    return buf;
  }

  std::ostream& out_;
  int traceLevel_;
  Clock::time_point start_;
};

// The pad as the demo finds it: payment application running, the version
// record naming the terminal's key set but an older table reference, and a
// couple of old records in each table.
emu::PadState OldTablesPad(const std::string& keyChecksum) {
  const std::string fs(1, FS);
  std::string version;
  for (int i = 0; i < 5; ++i) version += fs;
  version += "OLD000OLD000";
  for (int i = 0; i < 7; ++i) version += fs;
  version += keyChecksum;
  for (int i = 0; i < 6; ++i) version += fs;

  emu::PadState state;
  state.app = emu::PadApp::Payment;
  state.tables[emu::kEstTable] = {"old EST record 1", "old EST record 2"};
  state.tables[emu::kMvtTable] = {"old MVT record 1", "old MVT record 2", "old MVT record 3"};
  state.tables[emu::kVersionTable] = {version};
  return state;
}

std::string KeyChecksum(JsonTerminal& terminal) {
  std::string ids;
  for (int16_t k = 1; k <= terminal.getERKCount(); ++k) ids += terminal.getERKID(k);
  return SHA1Hex(ids).substr(0, 30);
}

class Demo {
 public:
  Demo(const DemoOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err), start_(Clock::now()) {}

  int Run();

 private:
  bool Step(const std::string& title, const std::function<int16_t()>& call, int32_t successCode,
            std::chrono::seconds limit);
  bool Initialise(const char* round);

  const DemoOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  Clock::time_point start_;
  AsioHost host_;
  std::unique_ptr<JsonTerminal> terminal_;
  std::unique_ptr<DemoEvents> events_;
  std::unique_ptr<Korvex> control_;
};

// Calls a method that starts an exchange and runs the host loop until the
// expected success event, an error event, or the time limit.
bool Demo::Step(const std::string& title, const std::function<int16_t()>& call,
                int32_t successCode, std::chrono::seconds limit) {
  out_ << "-- " << title << "\n";
  events_->failure.reset();
  events_->lastSuccess.reset();
  const int16_t started = call();
  if (started != 0) {
    err_ << "korvex demo: " << title << " refused with " << started << " in state "
         << control_->getState() << "\n";
    return false;
  }
  const bool done = host_.RunUntil(
      [&] { return events_->failure || events_->lastSuccess == successCode; }, limit);
  if (events_->failure) {
    err_ << "korvex demo: " << title << " failed: " << *events_->failure << "\n";
    return false;
  }
  if (!done) {
    err_ << "korvex demo: " << title << " did not finish within " << limit.count() << " s\n";
    return false;
  }
  return true;
}

bool Demo::Initialise(const char* round) {
  using std::chrono::seconds;
  if (control_->setTerminalObject(*terminal_) != 0) {
    err_ << "korvex demo: setTerminalObject refused in state " << control_->getState() << "\n";
    return false;
  }
  return Step(std::string("PerformConnectionTest (") + round + ")",
              [&] { return control_->PerformConnectionTest(1); }, 1107, seconds(30)) &&
         Step(std::string("InitTransaction (") + round + ")",
              [&] { return control_->InitTransaction(); }, 1100, seconds(120));
}

int Demo::Run() {
  std::string error;
  terminal_ = JsonTerminal::FromText(DemoTerminalJson(), "terminal.json (bundled)", error);
  if (!terminal_) {
    err_ << "korvex demo: " << error << "\n";
    return 1;
  }

  emu::EmulatorConfig config;
  config.link.pace = options_.pace;
  emu::Emulator pad(config, OldTablesPad(KeyChecksum(*terminal_)));
  emu::TcpServer server(host_.Context(), pad,
                        asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  server.Start();
  const int port = server.LocalEndpoint().port();
  out_ << "emulated PIN pad listening on 127.0.0.1:" << port << "\n";

  // The router address comes from the registry, as in a real installation.
  auto registry = std::make_unique<MemoryRegistry>();
  registry->SetValue(kPadKey, "RouterHost", "127.0.0.1");
  registry->SetValue(kPadKey, "RouterPort", std::to_string(port));
  host_.SetRegistry(std::move(registry));

  events_ = std::make_unique<DemoEvents>(out_, options_.traceLevel, start_);
  control_ = std::make_unique<Korvex>(host_, *events_);
  control_->setName(kPadName);
  control_->setEMVRegistryKey(kRegistryKey);
  control_->InitFromReg();

  bool ok = Initialise("tables old");
  const int deleted = events_->deleted;
  const int added = events_->added;
  if (ok) {
    // A fresh start finds the version record just saved: nothing to do.
    control_->ColdReset();
    ok = Initialise("tables current");
  }
  control_.reset();
  server.Stop();
  host_.RunFor(std::chrono::milliseconds(10));

  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  out_ << "-- summary\n"
       << "records deleted: " << deleted << ", records added: " << added
       << " (second initialisation: " << events_->deleted - deleted << " deleted, "
       << events_->added - added << " added)\n"
       << "pad now holds " << pad.Pad().Records(emu::kEstTable).size() << " EST and "
       << pad.Pad().Records(emu::kMvtTable).size() << " MVT records\n";
  if (!pad.Violations().empty()) {
    out_ << "protocol violations seen by the pad:\n" << pad.ViolationSummary();
    ok = false;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "elapsed: %.3f s\n", elapsed);
  out_ << buf << (ok ? "demo completed" : "demo FAILED") << "\n";
  return ok ? 0 : 1;
}

}  // namespace

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  try {
    Demo demo(options, out, err);
    return demo.Run();
  } catch (const std::exception& e) {
    err << "korvex demo: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace korvex::cli
