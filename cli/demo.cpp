// korvex demo: a PIN pad comes up, gets what it needs and takes a payment,
// end to end over real TCP. The emulated pad runs in this process on a free
// loopback port. By default it is brand new, with only its loader: the
// connection test downloads the payment application and the key files from
// the sample download folder and builds the tables; a second initialisation
// then finds nothing to do. With --pad old-tables it starts with the payment
// application running and old tables instead. Then a chip purchase, a stripe
// read and a fallback check follow.
#include "cli/demo.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>

#include <asio.hpp>
#include "cli/demo_pad.h"
#include "cli/demo_session.h"
#include "cli/demo_terminal.h"
#include "cli/sample_folder.h"
#include "korvex/memory_registry.h"

namespace korvex::cli {

namespace {

const char* const kRegistryKey = "Software\\Korvex\\";
const char* const kPinPadsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvex\\PinPads\\";

// The control keeps the pad's key files in a folder named after the pad,
// inside the download folder; a name of its own per run keeps demos running
// side by side off each other's files.
std::string PadName() {
  return "DEMO" + std::to_string(getpid());
}

// Without the application image the pad would stay a loader and the demo
// would only time out; say so before starting.
std::optional<std::string> DownloadFolderProblem(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return "download folder '" + folder + "' not found";
  if (!fs::is_regular_file(fs::path(folder) / "Constant" / "EMVAPP.out", ec)) {
    return "download folder '" + folder +
           "' has no Constant/EMVAPP.out: the pad would get no payment application";
  }
  return std::nullopt;
}

}  // namespace

// An installed tree's copy first: the build tree it came from may be gone.
std::string DefaultDownloadFolder() {
  return SampleDownloadFolder(ExecutableFolder(), KORVEX_DOWNLOAD_FOLDER);
}

DemoSession::DemoSession(const DemoOptions& options, std::ostream& out, std::ostream& err)
    : options_(options),
      out_(out),
      err_(err),
      start_(Clock::now()),
      padName_(PadName()),
      progress_(out, options.terminal) {}

DemoSession::~DemoSession() {
  // The control removes the key files after a download, but not their folder,
  // and a download cut short leaves the files too.
  namespace fs = std::filesystem;
  const fs::path keys = fs::path(options_.downloadFolder) / padName_;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(keys, ec)) {
    if (entry.path().extension() == ".EMV") fs::remove(entry.path(), ec);
  }
  fs::remove(keys, ec);
}

emu::PadState DemoSession::StartingPad() {
  if (options_.pad == DemoPad::BrandNew) return emu::BrandNewPad();
  return OldTablesPad(KeyChecksum(*terminal_));
}

bool DemoSession::Start() {
  std::string error;
  terminal_ = JsonTerminal::FromText(DemoTerminalJson(), "terminal.json (bundled)", error);
  if (!terminal_) return Fail(error);

  emu::EmulatorConfig config;
  config.link.pace = options_.pace;
  config.cardholder = DemoCardholder(emu::CardEntry::Insert, options_.pace);
  config.delays = DemoDelays(options_.pace);
  pad_ = std::make_unique<emu::Emulator>(config, StartingPad());
  pad_->Pad().Card().removalDelayMs = DemoCardRemovalMs(options_.pace);
  server_ = std::make_unique<emu::TcpServer>(
      host_.Context(), *pad_, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
  server_->Start();
  const int port = server_->LocalEndpoint().port();
  out_ << "emulated PIN pad listening on 127.0.0.1:" << port << "\n";

  // The router address comes from the registry, as in a real installation.
  auto registry = std::make_unique<MemoryRegistry>();
  registry->SetValue(kPinPadsKey + padName_, "RouterHost", "127.0.0.1");
  registry->SetValue(kPinPadsKey + padName_, "RouterPort", std::to_string(port));
  host_.SetRegistry(std::move(registry));

  events_ = std::make_unique<DemoEvents>(out_, options_, start_, progress_);
  control_ = std::make_unique<Korvex>(host_, *events_);
  control_->setName(padName_);
  control_->setEMVRegistryKey(kRegistryKey);
  control_->InitFromReg();
  control_->SetDownloadPath(options_.downloadFolder + "/");
  control_->setDownloadObserver(&progress_);
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
  progress_.BreakLine();
  err_ << "korvex demo: " << message << "\n";
  return false;
}

bool DemoSession::BindTerminal() {
  return control_->setTerminalObject(*terminal_) == 0 ||
         Fail("setTerminalObject refused in state " + std::to_string(control_->getState()));
}

bool DemoSession::Connect(const std::string& round) {
  const auto test = [&] { return control_->PerformConnectionTest(1); };
  return BindTerminal() &&
         Step("PerformConnectionTest (" + round + ")", test, {0, 1107}, std::chrono::seconds(30));
}

bool DemoSession::Initialise(const std::string& round) {
  const auto init = [&] { return control_->InitTransaction(); };
  return Connect(round) &&
         Step("InitTransaction (" + round + ")", init, {0, 1100}, std::chrono::seconds(120));
}

// The payment application does not answer, so the connection test goes on to
// the loader, downloads the application and the key files, starts the new
// application and rebuilds the tables, all in one run. It ends with "Init
// completed" instead of "EmvApp is ready", and leaves nothing for
// InitTransaction to do (the control would refuse it in that state anyway).
bool DemoSession::Provision() {
  const auto test = [&] { return control_->PerformConnectionTest(1); };
  return BindTerminal() &&
         Step(
             "PerformConnectionTest (loader only: downloads the application and keys, "
             "builds the tables)",
             test, {0, 1100}, std::chrono::seconds(300));
}

int DemoSession::Run() {
  if (!Start()) return 1;
  bool ok = options_.pad == DemoPad::BrandNew ? Provision() : Initialise("tables old");
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
  progress_.BreakLine();
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
  char buf[160];
  if (options_.pace) {
    // The pad's line against the least time its bytes need at its rate.
    const emu::LineUse& line = pad_->LineUseTotal();
    std::snprintf(
        buf, sizeof buf, "paced line: %llu bytes, %.3f s in use, %.4f times their wire time\n",
        static_cast<unsigned long long>(line.bytes), double(line.busyUs) / 1e6, line.Ratio());
    out_ << buf;
  }
  std::snprintf(buf, sizeof buf, "elapsed: %.3f s\n", elapsed);
  out_ << buf << (ok ? "demo completed" : "demo FAILED") << "\n";
}

int RunDemo(const DemoOptions& given, std::ostream& out, std::ostream& err) {
  DemoOptions options = given;
  if (options.downloadFolder.empty()) options.downloadFolder = DefaultDownloadFolder();
  if (options.pad == DemoPad::BrandNew) {
    if (const auto problem = DownloadFolderProblem(options.downloadFolder)) {
      err << "korvex demo: " << *problem << "\n";
      return 2;
    }
  }
  // The pad's key files are written into the folder during the download.
  std::optional<WritableFolder> folder;
  if (options.pad == DemoPad::BrandNew) {
    folder.emplace(options.downloadFolder);
    if (folder->Path().empty()) {
      err << "korvex demo: " << folder->Error() << "\n";
      return 2;
    }
    options.downloadFolder = folder->Path();
  }
  try {
    DemoSession demo(options, out, err);
    return demo.Run();
  } catch (const std::exception& e) {
    err << "korvex demo: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace korvex::cli
