// The PIN-pad emulator's core. It never touches a socket or a clock: an
// adapter hands it the bytes of the connection with the time they came,
// takes the bytes it has to send once they are due, and calls Poll at the
// next deadline. Every time it takes or gives is in microseconds. The pad
// (applications, card, tables) lives as long as the emulator; connections
// come and go one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "emulator/core/emulator_config.h"
#include "emulator/core/fault_plan.h"
#include "emulator/core/frame_parser.h"
#include "emulator/core/handler_table.h"
#include "emulator/core/pad_services.h"
#include "emulator/core/pin_pad.h"
#include "emulator/core/session.h"
#include "emulator/core/timeline.h"
#include "emulator/core/transcript.h"
#include "emulator/core/violation.h"

namespace korvex::emu {

class Emulator : private PadServices {
 public:
  // The handler table starts with the standard messages (RegisterStandardMessages).
  explicit Emulator(EmulatorConfig config = {}, PadState state = {});
  ~Emulator() override;
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  // The line, as the adapter sees it. Each call first runs whatever fell due
  // up to nowUs. A new connection while one is open replaces it.
  void Connect(int64_t nowUs, ConnectOptions options = {});
  void Receive(const std::string& bytes, int64_t nowUs);
  void Disconnect(int64_t nowUs);
  void Poll(int64_t nowUs);
  // Back to power-on with `state`, keeping the configuration and the handler
  // table (what a fuzzer reuses from one input to the next): the connection,
  // every timer, the violations and the transcript go. Time runs on from
  // where it was; the caller's clock must not go back.
  void Restart(PadState state);
  // The same with another configuration (a fuzzer's input brings its own).
  void Restart(EmulatorConfig config, PadState state);
  // A pad between two requests: nothing in hand, nothing to send, no timer.
  // What it holds then carries on over another connection, so a fuzzer can
  // start its inputs there instead of replaying the conversation up to it.
  struct RestPoint {
    PinPad pad;
    UpdateProgress progress;
    DownloadTransfer transfer;
    bool echoAcks = false;
  };
  // Where the pad rests now; nothing while anything is in hand or due.
  std::optional<RestPoint> AtRest() const;
  // The pad and the connection open now carry on from `rest` (after Connect
  // and the router's command, on a pad restarted with rest.pad's state).
  void Resume(const RestPoint& rest);
  // The earliest time (us) something falls due (may be <= now when output waits).
  std::optional<int64_t> NextDeadline() const;
  // The pieces of output due by nowUs; each is one write.
  std::vector<std::string> TakeOutput(int64_t nowUs);
  // The same, appended to `pieces` (a caller polling often keeps its room).
  void TakeOutput(int64_t nowUs, std::vector<std::string>& pieces);
  // A fault asked for the connection to be closed: the adapter closes it and
  // calls Disconnect.
  bool CloseRequested() const { return session_ && session_->closeRequested; }
  bool Connected() const { return session_ != nullptr; }
  // Bytes received but not yet due to the pad (a paced line holds them); the
  // adapter stops reading while this or its own output grows past a bound.
  size_t InputBacklog() const { return session_ ? session_->in.Bytes() : 0; }
  // Units read from the control so far (control characters and frames, not
  // garbage): what tells a live client from an idle or trickling one.
  uint64_t UnitsRead() const { return unitsRead_; }

  // Bounds on what a flood can make the pad hold: frames waiting for their
  // turn to be sent (and announcements held), requests waiting for their
  // processing delay, violations kept (the others are only counted).
  static constexpr size_t kMaxQueuedFrames = 64;
  static constexpr int kMaxRequestsInHand = 64;
  static constexpr size_t kMaxViolations = 1000;

  // Inspection and set-up.
  PinPad& Pad() override { return pad_; }
  const PinPad& Pad() const { return pad_; }
  Transcript& GetTranscript() { return transcript_; }
  const Transcript& GetTranscript() const { return transcript_; }
  const std::vector<Violation>& Violations() const { return violations_; }
  // All violations recorded, the kept ones and those past kMaxViolations.
  uint64_t ViolationCount() const { return violations_.size() + violationsDropped_; }
  // Violations as text, one per line, for test messages.
  std::string ViolationSummary() const;
  HandlerTable& Handlers() { return handlers_; }
  const EmulatorConfig& Config() const override { return config_; }
  // A new cardholder for the next card prompt (a demo or test that runs
  // several transactions with different behaviour on one pad).
  void SetCardholder(Cardholder cardholder) { config_.cardholder = std::move(cardholder); }
  // The application in force now (line rate and check follow it).
  PadApp App() const { return pad_.App(); }
  // What the paced line carried in both directions, over every connection.
  const LineUse& LineUseTotal() const { return lineUse_; }

 private:
  // PadServices, for the handlers.
  int64_t NowUs() const override { return nowUs_; }
  UpdateProgress& Progress() override;
  DownloadTransfer& Transfer() override;
  void Reply(const std::string& text) override;
  void Announce(const std::string& text) override;
  uint64_t AfterUs(int64_t delayUs, std::function<void()> action) override;
  void Cancel(uint64_t id) override { timeline_.Cancel(id); }
  void AddViolation(const std::string& message, const std::string& description) override;
  void Note(std::string_view text) override;

  // Time and input.
  void Advance(int64_t nowUs);
  // At a close: the input still on the line, read at the times it arrives.
  void DrainInput();
  // A timer that does nothing once its connection has gone.
  uint64_t AfterInSession(int64_t delayUs, std::function<void()> action);
  void OnRouterDecision();
  void Deliver(std::string bytes);
  bool Deaf() const;
  bool Garbled() const;
  void HandleUnit(const WireUnit& unit);
  void HandleFrame(const std::string& text);
  void HandleControlUnit(const WireUnit& unit);
  void Dispatch(const std::string& text, const std::string& failStatus);
  void DispatchFailure(const MessageHandler& h, const std::string& text,
                       const std::string& failStatus);
  bool Refused(const MessageHandler& h, const std::string& text);
  int64_t ProcessingDelayUs(const std::string& text) const;

  // The pad's side of the link.
  void Write(const std::string& bytes, const std::string& decoded);
  void Queue(OutgoingFrame frame);
  void ReleaseAnnouncements();
  void SendNext();
  void Transmit();
  void OnAck();
  void OnNak();
  void Resend(const std::string& why);
  void DropPending(const std::string& why);

  EmulatorConfig config_;
  PinPad pad_;
  FaultPlan faults_;
  HandlerTable handlers_;
  Timeline timeline_;
  Transcript transcript_;
  std::vector<Violation> violations_;
  uint64_t violationsDropped_ = 0;
  uint64_t unitsRead_ = 0;
  std::unique_ptr<Session> session_;
  std::vector<WireUnit> unitScratch_;  // Deliver's, reused
  UpdateProgress detachedProgress_;
  DownloadTransfer detachedTransfer_;
  uint64_t nextSessionId_ = 1;
  int64_t nowUs_ = 0;
  std::optional<int64_t> stalledUntilUs_;
  LineUse lineUse_;
};

}  // namespace korvex::emu
