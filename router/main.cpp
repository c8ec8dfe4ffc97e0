// korvex-router: relays TCP connections to PIN pads' serial lines. Each
// connection starts with a line command that sets the device's line; then
// bytes pass both ways unchanged.
#include <CLI/CLI.hpp>
#include <asio/io_context.hpp>
#include <asio/signal_set.hpp>
#include <csignal>
#include <iostream>

#include "router/router.h"

namespace {

using namespace korvex::router;

struct Options {
  std::string config;
  std::string listen;
  std::string device;
  std::vector<std::string> allow;
  std::string flow = "none";
  std::string onBusy = "refuse";
  std::string traceDir;
  std::string logLevel;
  int commandTimeoutMs = 10000;
};

constexpr char kFooter[] = R"(
Every connection starts with a 20-byte line command, e.g. "SETCOMM19200,n,8,1  ",
that sets the device's baud rate, parity, data bits and stop bits; then bytes
are relayed both ways until either side closes. A malformed or unsupported
command is refused and the connection closed.

Several PIN pads: --config FILE.json maps each listening port to its device
(see examples/korvex-router.json).

Exit status: 0 after SIGINT or SIGTERM, 1 when a device cannot be opened or a
port cannot be listened on, 2 for bad options or a broken configuration file.)";

bool BuildConfig(const Options& o, RouterConfig& config, std::string& error) {
  if (!o.config.empty()) {
    if (!LoadRouterConfig(o.config, config, error)) return false;
  } else {
    PortConfig port;
    if (!ParseListen(o.listen, port, error)) return false;
    port.device = o.device;
    port.flow = ParseFlowControl(o.flow).value_or(FlowControl::None);
    port.replace = o.onBusy == "replace";
    port.traceDir = o.traceDir;
    config.ports = {port};
    if (!o.allow.empty()) config.allow = o.allow;
    config.commandTimeoutMs = o.commandTimeoutMs;
  }
  if (!o.logLevel.empty()) config.logLevel = *ParseLogLevel(o.logLevel);
  return ValidateRouterConfig(config, error);
}

void AddOptions(CLI::App& app, Options& o) {
  auto* config =
      app.add_option("--config", o.config, "JSON file mapping listening ports to devices")
          ->type_name("FILE.json");
  auto* listen = app.add_option("--listen", o.listen,
                                "Address and port to listen on (a bare PORT listens on 127.0.0.1)")
                     ->type_name("ADDRESS:PORT");
  auto* device =
      app.add_option("--device", o.device, "Serial device of the PIN pad")->type_name("PATH");
  listen->needs(device);
  device->needs(listen);
  config->excludes(listen, device);
  const std::vector<CLI::Option*> single = {
      app.add_option("--allow", o.allow,
                     "Client address or network allowed to connect, repeatable "
                     "(default: 127.0.0.0/8 and ::1)")
          ->type_name("ADDRESS[/BITS]"),
      app.add_option("--flow-control", o.flow, "none (default), rtscts or xonxoff")
          ->check(CLI::IsMember({"none", "rtscts", "xonxoff"})),
      app.add_option("--on-busy", o.onBusy,
                     "A second connection to a busy device: refuse (default) or replace")
          ->check(CLI::IsMember({"refuse", "replace"})),
      app.add_option("--trace-dir", o.traceDir,
                     "Write a trace file per connection (all bytes, card data included) here")
          ->type_name("DIR"),
      app.add_option("--command-timeout", o.commandTimeoutMs,
                     "Drop a client that sends no line command within this many ms (default 10000)")
          ->type_name("MS")
          ->check(CLI::Range(1, 3600000))};
  for (CLI::Option* option : single) option->excludes(config);
  app.add_option("--log-level", o.logLevel, "error, warning, info (default) or debug")
      ->check(CLI::IsMember({"error", "warning", "info", "debug"}));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Relay TCP connections to PIN pads' serial lines.", "korvex-router");
  app.footer(kFooter);
  Options options;
  AddOptions(app, options);
  CLI11_PARSE(app, argc, argv);
  if (options.config.empty() && options.listen.empty()) {
    std::cerr << "korvex-router: give --listen and --device, or --config (see --help)\n";
    return 2;
  }
  RouterConfig config;
  std::string error;
  if (!BuildConfig(options, config, error)) {
    std::cerr << "korvex-router: " << error << '\n';
    return 2;
  }
  std::signal(SIGPIPE, SIG_IGN);
  RouterLog log(std::cerr, config.logLevel);
  asio::io_context io(1);
  Router router(io, config, log);
  if (!router.Start(error)) {
    log.Error(error);
    return 1;
  }
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code& ec, int signal) {
    if (ec) return;
    log.Info(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    router.Stop();
    io.stop();
  });
  io.run();
  return 0;
}
