// Requests by message code. A handler serves the requests whose text starts
// with its code in the applications it lists; the longest code wins, so a
// later message can claim a longer prefix without touching what is here.
// Single control characters (ENQ, EOT) may have handlers too, keyed by the
// one-character code.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "emulator/core/pad_app.h"
#include "emulator/core/pad_services.h"

namespace korvex::emu {

// A request refused by its handler: the status answered and the reason.
struct Rejection {
  std::string status;
  std::string description;
};

struct MessageHandler {
  std::string code;
  AppSet apps;
  // Layout and state check; nullopt when the request may be handled.
  std::function<std::optional<Rejection>(const std::string& text, PadServices&)> validate;
  std::function<void(const std::string& text, PadServices&)> handle;
  // The reply carrying a failure status; unset for requests answered without
  // a status (their failures go unanswered).
  std::function<std::string(const std::string& status, PadServices&)> failureReply;
  // What a request answered with a scripted failure status still does to the
  // pad (a failed script block still counts in the block structure); such a
  // request is validated first. Unset: nothing.
  std::function<void(const std::string& text, const std::string& status, PadServices&)>
      failedHandle{};
};

class HandlerTable {
 public:
  // A handler with the same code and an overlapping application replaces the
  // earlier one.
  void Add(MessageHandler handler);
  // The handler for this text in this application.
  const MessageHandler* Find(const std::string& text, PadApp app) const;
  // Whether any application has a handler for this text.
  bool Known(const std::string& text) const;

 private:
  void Reindex();

  std::vector<MessageHandler> handlers_;
  // Positions in handlers_, in the order added, by the first byte of their
  // code: a lookup compares only the codes that can match. Comparing all
  // forty codes, twice a request, took an eighth of a fuzzed pad's time.
  std::array<std::vector<uint16_t>, 256> byFirstByte_;
  std::vector<uint16_t> emptyCodes_;  // match every text
};

// failureReply for replies made of a code and the status.
std::function<std::string(const std::string&, PadServices&)> StatusReply(std::string code);

}  // namespace korvex::emu
