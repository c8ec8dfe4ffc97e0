#include "cli/host_bridge.h"

#include <chrono>
#include <csignal>
#include <memory>

#include "cli/bridge_methods.h"
#include "cli/bridge_output.h"
#include "cli/line_dispatcher.h"
#include "cli/line_reader.h"
#include "cli/router_registry.h"
#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/reg_file_registry.h"

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

int RunHostBridge(const HostBridgeOptions& options, int inputFd, std::ostream& out,
                  std::ostream& err) {
  // A reader that goes away must not kill the bridge; it still ends with the input.
  std::signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<JsonTerminal> terminal;
  if (!options.terminalPath.empty()) {
    std::string error;
    terminal = JsonTerminal::Load(options.terminalPath, error);
    if (!terminal) {
      err << "korvex host: " << error << '\n';
      return 2;
    }
  }
  std::unique_ptr<RegistryBackend> registry = LoadRegistry(options, err);
  if (!registry) return 2;

  AsioHost host;
  host.SetRegistry(std::move(registry));
  JsonLineWriter writer(out);
  BridgeEvents events(writer, options.showCardData);
  auto control = std::make_unique<Korvex>(host, events);
  BridgeTarget target{*control, terminal.get(), options.showCardData};
  LineDispatcher dispatcher(KorvexMethods(), target, writer);
  {
    // Declared last so that it is gone before anything it posts to; it only
    // ends with the input, after which nothing else is read.
    FdLineReader reader(
        inputFd, kMaxInputLine,
        [&](InputLine line) {
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
    while (!dispatcher.Done()) {
      host.RunUntil([&] { return dispatcher.Done(); }, std::chrono::hours(1));
    }
  }
  control.reset();
  return 0;
}

}  // namespace korvex::cli
