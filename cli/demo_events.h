// What the demo prints of the control's events, and what it keeps of them to
// know when a step is over.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/demo.h"
#include "cli/download_progress.h"
#include "korvex/events.h"

namespace korvex::cli {

class DemoEvents : public KorvexEvents {
 public:
  using Clock = std::chrono::steady_clock;

  // Lines printed here first end a progress bar drawn part-way.
  DemoEvents(std::ostream& out, const DemoOptions& options, Clock::time_point start,
             DownloadProgress& progress);

  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override;
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override;

  // Forgets the events of the previous step.
  void NewStep();
  // The text of an event of this type and code seen in this step.
  std::optional<std::string> Seen(int32_t type, int32_t code) const;
  // The first error or socket event of this step, as printed.
  const std::optional<std::string>& Failure() const { return failure_; }

  // Seconds since the demo started, as "[  1.234s] ".
  std::string Stamp() const;

  int deleted = 0;  // table records the control reported deleting
  int added = 0;    // and adding

 private:
  struct Event {
    int32_t type, code;
    std::string text;
  };
  std::string Shown(int32_t type, const std::string& text) const;

  std::ostream& out_;
  const DemoOptions& options_;
  DownloadProgress& progress_;
  Clock::time_point start_;
  std::vector<Event> seen_;
  std::optional<std::string> failure_;
};

}  // namespace korvex::cli
