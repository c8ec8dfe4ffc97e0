#include "cli/host_bridge.h"

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <memory>

#include "cli/bridge_methods.h"
#include "cli/bridge_output.h"
#include "cli/call_gate.h"
#include "cli/line_dispatcher.h"
#include "cli/line_reader.h"
#include "cli/output_writer.h"
#include "cli/router_registry.h"
#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/reg_file_registry.h"
#include "support/windows_compat.h"

namespace korvex::cli {

namespace {

// The --router address, the --registry file, or else the file named by KORVEX_REGISTRY (an empty
// registry when unset). Null, after writing why to `err`, when it is broken.
std::unique_ptr<RegistryBackend> LoadRegistry(const HostBridgeOptions& options, std::ostream& err) {
  const std::string& path = options.registryPath;
  if (!options.router.empty()) {
    std::string error;
    auto address = ParseRouterAddress(options.router, error);
    if (address) return std::make_unique<RouterRegistry>(*address, options.com);
    err << "korvex host: " << error << '\n';
    return nullptr;
  }
  if (!path.empty()) {
    auto registry = std::make_unique<RegFileRegistry>(path);
    if (registry->Loaded()) return registry;
    err << "korvex host: " << registry->Error() << '\n';
    return nullptr;
  }
  std::string error;
  auto registry = RegistryFromEnvironment(&error);
  if (error.empty()) return registry;
  err << "korvex host: " << kRegistryEnvironmentVariable << ": " << error << '\n';
  return nullptr;
}

}  // namespace

int RunHostBridge(const HostBridgeOptions& options, int inputFd, int outputFd, std::ostream& err) {
  // A reader that goes away fails the write (and ends the bridge) instead of
  // killing it with the control still connected.
  std::signal(SIGPIPE, SIG_IGN);
  if (fcntl(outputFd, F_GETFD) < 0) {  // closed: a socket opened later would take its number
    err << "korvex host: writing output: standard output is closed\n";
    return kHostOutputFailed;
  }

  std::unique_ptr<JsonTerminal> terminal;
  if (!options.terminalPath.empty()) {
    std::string error;
    terminal = JsonTerminal::Load(options.terminalPath, error);
    if (!terminal) {
      err << "korvex host: " << error << '\n';
      return kHostBadFile;
    }
  }
  std::unique_ptr<RegistryBackend> registry = LoadRegistry(options, err);
  if (!registry) return kHostBadFile;

  AsioHost host;
  host.SetRegistry(std::move(registry));
  CallGate calls(kMaxWaitingCalls);
  OutputQueue output(kDebugBacklogBytes);
  bool outputFailed = false;  // seen on the host's thread
  FdLineWriter writer(
      outputFd, output, [&] { calls.Release(); }, [&] { host.Post([&] { outputFailed = true; }); });
  JsonLineWriter lines(output);
  BridgeEvents events(lines, options.showCardData, options.traceLevel);
  auto control = std::make_unique<Korvex>(host, events);
  BridgeTarget target{*control, terminal.get(), options.showCardData};
  LineDispatcher dispatcher(KorvexMethods(), target, lines);
  {
    // Declared last so that it is gone before anything it posts to.
    FdLineReader reader(
        inputFd, kMaxInputLine,
        [&](InputLine line) {
          if (!calls.Acquire()) return;
          host.Post([&dispatcher, line = std::move(line)]() mutable {
            dispatcher.OnLine(std::move(line));
          });
        },
        [&](const std::string& error) {
          host.Post([&dispatcher, &err, error] {
            if (!error.empty()) err << "korvex host: reading input: " << error << '\n';
            dispatcher.OnEnd();
          });
        });
    const auto finished = [&] { return dispatcher.Done() || outputFailed; };
    while (!finished()) host.RunUntil(finished, std::chrono::hours(1));
    reader.Stop();
    calls.Cancel();
  }
  control.reset();  // drops the connection; its last events still go out
  const std::string error = writer.Finish();
  if (error.empty()) return kHostEndOfInput;
  err << "korvex host: writing output: " << error << '\n';
  return kHostOutputFailed;
}

}  // namespace korvex::cli
