// One run of the demo: the emulated pad on a loopback port, a control talking
// to it over real TCP, and the steps that drive the control. Set-up, the
// provisioning or initialisation and the summary are in demo.cpp; the card steps in
// demo_card_steps.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/demo.h"
#include "cli/demo_events.h"
#include "cli/download_progress.h"
#include "emulator/adapters/tcp_server.h"
#include "emulator/core/emulator.h"
#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"

namespace korvex::cli {

class DemoSession {
 public:
  DemoSession(const DemoOptions& options, std::ostream& out, std::ostream& err);
  ~DemoSession();

  int Run();

 private:
  using Clock = DemoEvents::Clock;

  // The event a step waits for.
  struct Awaited {
    int32_t type;
    int32_t code;
  };

  bool Start();
  emu::PadState StartingPad();
  // Calls a method that starts an exchange and runs the host loop until the
  // awaited event, an error event, or the time limit.
  bool Step(const std::string& title, const std::function<int16_t()>& call, Awaited awaited,
            std::chrono::seconds limit);
  bool Fail(const std::string& message);
  bool BindTerminal();
  // Binds the terminal and brings the payment application up.
  bool Connect(const std::string& round);
  bool Initialise(const std::string& round);
  // A pad with only its loader: the connection test sets it up entirely.
  bool Provision();
  void PrintSummary(bool ok);

  // The card steps.
  bool Purchase();
  bool ReturnToIdle();
  bool ReadStripe();
  bool CheckFallback();
  bool CheckServiceCode(const std::string& code, const std::string& whose,
                        const std::string& expected);

  const DemoOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
  Clock::time_point start_;
  std::string padName_;
  DownloadProgress progress_;
  AsioHost host_;
  std::unique_ptr<JsonTerminal> terminal_;
  std::unique_ptr<emu::Emulator> pad_;
  std::unique_ptr<emu::TcpServer> server_;
  std::unique_ptr<DemoEvents> events_;
  std::unique_ptr<Korvex> control_;

  // What the summary reports.
  int firstDeleted_ = 0, firstAdded_ = 0;
  std::optional<std::string> purchase_;  // the outcome, once the purchase completed
  std::string swipedTrack2_;             // in clear, as the control reported it
};

}  // namespace korvex::cli
