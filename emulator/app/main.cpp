// korvex-pinpad: an emulated PIN pad behind an emulated TCP/COM router, for
// integrators and tests. It serves router connections one at a time and keeps
// the pad's state across them (and, with --state-dir, across runs).
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <asio.hpp>
#include "emulator/adapters/tcp_server.h"
#include "emulator/core/emulator.h"
#include "emulator/scenario/received_files.h"
#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"

namespace {

using namespace korvex::emu;

constexpr int kBadInput = 2;

struct Options {
  std::string listen = "127.0.0.1:4001";
  std::string scenario;
  std::string stateDir;
  bool pace = false;
  bool transcript = false;
  bool brandNew = false;
  std::optional<int64_t> blockSize;
  std::string receivedFiles;
  int64_t idleTimeoutS = 0;
};

// HOST:PORT resolved to one endpoint, an IPv6 literal in brackets
// ("[::1]:0"); throws std::runtime_error.
asio::ip::tcp::endpoint ResolveListen(asio::io_context& io, const std::string& text) {
  const size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
  }
  const std::string port = colon == std::string::npos ? "" : text.substr(colon + 1);
  if (host.empty() || port.empty() || port.size() > 5 ||
      port.find_first_not_of("0123456789") != std::string::npos || std::stoi(port) > 65535) {
    throw std::runtime_error("--listen: expected HOST:PORT, got \"" + text + "\"");
  }
  asio::ip::tcp::resolver resolver(io);
  std::error_code ec;
  const auto results = resolver.resolve(host, port, asio::ip::resolver_base::numeric_service, ec);
  if (ec || results.empty()) {
    throw std::runtime_error("--listen: cannot resolve " + host + ": " + ec.message());
  }
  return results.begin()->endpoint();
}

// The state folder must be a folder the program can write, checked at start
// rather than at the first save.
bool CheckStateDir(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!std::filesystem::is_directory(dir)) {
    std::cerr << "--state-dir " << dir << ": not a folder\n";
    return false;
  }
  if (access(dir.c_str(), W_OK | X_OK) != 0) {
    std::cerr << "--state-dir " << dir << ": cannot write there: " << std::strerror(errno) << "\n";
    return false;
  }
  return true;
}

// The scenario and the saved state; exits with kBadInput on a bad file.
bool LoadInputs(const Options& o, Scenario& s) {
  if (!o.stateDir.empty() && !CheckStateDir(o.stateDir)) return false;
  if (!o.scenario.empty()) {
    try {
      s = LoadScenario(o.scenario);
    } catch (const ScenarioError& e) {
      std::cerr << o.scenario << ": " << e.what() << "\n";
      return false;
    }
  }
  if (o.brandNew) {
    PadState fresh = BrandNewPad();
    fresh.cardProfile = s.state.cardProfile;
    fresh.card = s.state.card;
    s.state = std::move(fresh);
  }
  if (o.blockSize) s.config.download.blockSize = *o.blockSize;
  if (!o.stateDir.empty()) {
    try {
      if (LoadStateDir(o.stateDir, s.state)) {
        std::cout << "state loaded from " << StateFilePath(o.stateDir) << "\n";
      }
    } catch (const ScenarioError& e) {
      std::cerr << StateFilePath(o.stateDir) << ": " << e.what() << "\n";
      return false;
    }
  }
  if (o.pace) s.config.link.pace = true;
  return true;
}

// Saves the pad's state when it changed since the last save, and writes out
// the files a download brought.
class StateSaver {
 public:
  StateSaver(const std::string& dir, const std::string& filesDir, const Emulator& core)
      : dir_(dir), files_(filesDir), filesDir_(filesDir), core_(core) {}
  void SaveIfChanged() {
    if (core_.Pad().Revision() == seen_) return;
    seen_ = core_.Pad().Revision();
    WriteFiles();
    if (!dir_.empty() && core_.Pad().Revision() != saved_) Save();
  }
  void WriteFiles() {
    if (filesDir_.empty()) return;
    try {
      if (const size_t n = files_.Write(core_.Pad().Files())) {
        std::cout << n << " received file(s) written to " << filesDir_ << std::endl;
      }
    } catch (const std::exception& e) {
      std::cerr << "cannot write the received files: " << e.what() << "\n";
    }
  }
  void Save() {
    if (dir_.empty()) return;
    try {
      SaveStateDir(dir_, core_.Pad().State());
      saved_ = core_.Pad().Revision();
    } catch (const std::exception& e) {
      std::cerr << "cannot save the pad's state: " << e.what() << "\n";
    }
  }

 private:
  std::string dir_;
  ReceivedFilesWriter files_;
  std::string filesDir_;
  const Emulator& core_;
  uint64_t saved_ = 0;
  uint64_t seen_ = 0;
};

int Run(const Options& o) {
  Scenario s;
  if (!LoadInputs(o, s)) return kBadInput;
  Emulator core(s.config, s.state);
  if (o.transcript) {
    core.GetTranscript().listener = [](const TranscriptEntry& e) {
      std::cout << FormatEntry(e) << std::endl;
    };
  }
  asio::io_context io;
  std::unique_ptr<TcpServer> server;
  try {
    server = std::make_unique<TcpServer>(io, core, ResolveListen(io, o.listen));
  } catch (const std::exception& e) {
    std::cerr << "cannot listen at " << o.listen << ": " << e.what() << "\n";
    return kBadInput;
  }
  StateSaver saver(o.stateDir, o.receivedFiles, core);
  server->onActivity = [&saver] { saver.SaveIfChanged(); };
  server->idleTimeoutUs = o.idleTimeoutS * 1000000;
  server->onIdle = [&o] {
    std::cerr << "closing a connection that sent nothing for " << o.idleTimeoutS << " s\n";
  };
  // Before "listening" is printed, so that a SIGTERM right after it is caught.
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](std::error_code, int) {
    server->Stop();
    io.stop();
  });
  server->Start();
  const auto endpoint = server->LocalEndpoint();
  const std::string address = endpoint.address().to_string();
  std::cout << "listening on " << (endpoint.address().is_v6() ? "[" + address + "]" : address)
            << ":" << endpoint.port() << std::endl;
  io.run();
  saver.WriteFiles();
  saver.Save();
  if (core.ViolationCount() > 0) {
    std::cerr << core.ViolationCount() << " protocol violation(s) recorded:\n"
              << core.ViolationSummary();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App app{"Emulated PIN pad behind a TCP/COM router"};
  app.set_version_flag("--version", "korvex-pinpad " KORVEX_VERSION);
  app.add_option("--listen", o.listen, "HOST:PORT to listen at; port 0 picks a free one")
      ->capture_default_str();
  app.add_option("--scenario", o.scenario, "scenario file (JSON)");
  app.add_option("--state-dir", o.stateDir, "folder keeping the pad's state across runs");
  app.add_flag("--pace", o.pace, "send every byte at the line's baud rate");
  app.add_flag("--transcript", o.transcript, "print every unit on the line as it passes");
  app.add_flag("--brand-new", o.brandNew,
               "start a pad with only its loader, to be provisioned by a download");
  app.add_option("--download-block-size", o.blockSize,
                 "block size the download request asks for (sent even when out of range)");
  app.add_option("--received-files", o.receivedFiles,
                 "folder to write the files the loader receives into");
  app.add_option("--idle-timeout", o.idleTimeoutS,
                 "close a connection that sends no frame or control character for this many "
                 "seconds, so that it cannot hold the pad from other clients (0: never)")
      ->check(CLI::Range(int64_t{0}, int64_t{86400}))
      ->capture_default_str();
  // Every usage error, whatever CLI11 calls it, is a bad input (2).
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : kBadInput;
  }
  try {
    return Run(o);
  } catch (const std::exception& e) {
    std::cerr << "korvex-pinpad: " << e.what() << "\n";
    return 1;
  }
}
