// korvex demo: a PIN pad comes up, gets its tables and takes a payment, end to
// end over real TCP. The emulated pad runs in this process on a free loopback
// port; its CA keys match the bundled terminal but its tables are old, so the
// first initialisation rebuilds them and the second finds nothing to do. Then
// a chip purchase, a stripe read and a fallback check follow.
#include "cli/demo.h"

#include <cstdio>

#include <asio.hpp>
#include "cli/demo_pad.h"
#include "cli/demo_session.h"
#include "cli/demo_terminal.h"
#include "korvex/memory_registry.h"

namespace korvex::cli {

namespace {

const char* const kPadName = "DEMO";
const char* const kRegistryKey = "Software\\Korvex\\";
const char* const kPadKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvex\\PinPads\\DEMO";

}  // namespace

DemoSession::DemoSession(const DemoOptions& options, std::ostream& out, std::ostream& err)
    : options_(options), out_(out), err_(err), start_(Clock::now()) {}

DemoSession::~DemoSession() = default;

bool DemoSession::Start() {
  std::string error;
  terminal_ = JsonTerminal::FromText(DemoTerminalJson(), "terminal.json (bundled)", error);
  if (!terminal_) return Fail(error);

  emu::EmulatorConfig config;
  config.link.pace = options_.pace;
  config.cardholder = DemoCardholder(emu::CardEntry::Insert, options_.pace);
  pad_ = std::make_unique<emu::Emulator>(config, OldTablesPad(KeyChecksum(*terminal_)));
  pad_->Pad().Card().removalDelayMs = DemoCardRemovalMs(options_.pace);
  server_ = std::make_unique<emu::TcpServer>(
      host_.Context(), *pad_, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  server_->Start();
  const int port = server_->LocalEndpoint().port();
  out_ << "emulated PIN pad listening on 127.0.0.1:" << port << "\n";

  // The router address comes from the registry, as in a real installation.
  auto registry = std::make_unique<MemoryRegistry>();
  registry->SetValue(kPadKey, "RouterHost", "127.0.0.1");
  registry->SetValue(kPadKey, "RouterPort", std::to_string(port));
  host_.SetRegistry(std::move(registry));

  events_ = std::make_unique<DemoEvents>(out_, options_, start_);
  control_ = std::make_unique<Korvex>(host_, *events_);
  control_->setName(kPadName);
  control_->setEMVRegistryKey(kRegistryKey);
  control_->InitFromReg();
  return true;
}

bool DemoSession::Step(const std::string& title, const std::function<int16_t()>& call,
                       Awaited awaited, std::chrono::seconds limit) {
  out_ << "-- " << title << "\n";
  events_->NewStep();
  const int16_t started = call();
  if (started != 0) {
    return Fail(title + " refused with " + std::to_string(started) + " in state " +
                std::to_string(control_->getState()));
  }
  const bool done = host_.RunUntil(
      [&] { return events_->Failure() || events_->Seen(awaited.type, awaited.code); }, limit);
  if (events_->Failure()) return Fail(title + " failed: " + *events_->Failure());
  if (!done) return Fail(title + " did not finish within " + std::to_string(limit.count()) + " s");
  return true;
}

bool DemoSession::Fail(const std::string& message) {
  err_ << "korvex demo: " << message << "\n";
  return false;
}

bool DemoSession::Connect(const std::string& round) {
  if (control_->setTerminalObject(*terminal_) != 0) {
    return Fail("setTerminalObject refused in state " + std::to_string(control_->getState()));
  }
  const auto test = [&] { return control_->PerformConnectionTest(1); };
  return Step("PerformConnectionTest (" + round + ")", test, {0, 1107}, std::chrono::seconds(30));
}

bool DemoSession::Initialise(const std::string& round) {
  const auto init = [&] { return control_->InitTransaction(); };
  return Connect(round) &&
         Step("InitTransaction (" + round + ")", init, {0, 1100}, std::chrono::seconds(120));
}

int DemoSession::Run() {
  if (!Start()) return 1;
  bool ok = Initialise("tables old");
  firstDeleted_ = events_->deleted;
  firstAdded_ = events_->added;
  if (ok) {
    // A fresh start finds the version record just saved: nothing to do.
    control_->ColdReset();
    ok = Initialise("tables current");
  }
  ok = ok && Purchase() && ReturnToIdle() && ReadStripe() && CheckFallback();
  control_.reset();
  server_->Stop();
  host_.RunFor(std::chrono::milliseconds(10));
  PrintSummary(ok);
  return ok && pad_->Violations().empty() ? 0 : 1;
}

void DemoSession::PrintSummary(bool ok) {
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  out_ << "-- summary\n"
       << "records deleted: " << firstDeleted_ << ", records added: " << firstAdded_
       << " (second initialisation: " << events_->deleted - firstDeleted_ << " deleted, "
       << events_->added - firstAdded_ << " added)\n"
       << "pad now holds " << pad_->Pad().Records(emu::kEstTable).size() << " EST and "
       << pad_->Pad().Records(emu::kMvtTable).size() << " MVT records\n"
       << "purchase: " << purchase_.value_or("not completed") << "\n";
  if (!pad_->Violations().empty()) {
    out_ << "protocol violations seen by the pad:\n" << pad_->ViolationSummary();
    ok = false;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "elapsed: %.3f s\n", elapsed);
  out_ << buf << (ok ? "demo completed" : "demo FAILED") << "\n";
}

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  try {
    DemoSession demo(options, out, err);
    return demo.Run();
  } catch (const std::exception& e) {
    err << "korvex demo: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace korvex::cli
