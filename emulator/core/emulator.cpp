#include "emulator/core/emulator.h"

#include <algorithm>
#include <limits>

#include "emulator/core/time_units.h"
#include "emulator/core/wire_text.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {

Emulator::Emulator(EmulatorConfig config, PadState state)
    : config_(std::move(config)), pad_(std::move(state)), faults_(config_.faults) {
  RegisterStandardMessages(handlers_);
}

Emulator::~Emulator() = default;

void Emulator::Connect(int64_t nowUs, ConnectOptions options) {
  Advance(nowUs);
  if (session_) {
    Note("connection replaced by a new one");
    Disconnect(nowUs);
  }
  session_ = std::make_unique<Session>();
  session_->id = nextSessionId_++;
  session_->options = options;
  Note("connection opened; pad runs the " + AppName(pad_.App()) + " application");
  if (!options.routerFront) {
    session_->lineBaud = options.baud;
    OnRouterDecision();
  }
}

void Emulator::Disconnect(int64_t nowUs) {
  Advance(nowUs);
  DrainInput();
  if (!session_) return;
  timeline_.Cancel(session_->ackTimer);
  if (session_->pending) Note("frame dropped with the connection: " + session_->pending->text);
  if (session_->transfer.step > TransferStep::Requested) {
    Note("download abandoned with the connection: " +
         std::to_string(session_->transfer.received.size()) + " complete file(s) discarded");
  }
  session_.reset();
  Note("connection closed");
}

// What the control wrote before closing is already with the router, which
// still puts it on the line: the pad reads it when it has crossed (a paced
// EOT written just before the close ends a download). Replies go nowhere.
void Emulator::DrainInput() {
  while (session_ && !session_->closeRequested && !session_->in.Empty()) {
    const int64_t due = *session_->in.NextDue();
    nowUs_ = std::max(nowUs_, due);
    while (session_) {
      auto piece = session_->in.TakeNext(due);
      if (!piece) break;
      Deliver(std::move(*piece));
    }
  }
}

void Emulator::Restart(PadState state) {
  session_.reset();
  timeline_.Clear();
  pad_ = PinPad(std::move(state));
  faults_ = FaultPlan(config_.faults);
  transcript_.Clear();
  violations_.clear();
  violationsDropped_ = 0;
  unitsRead_ = 0;
  detachedProgress_ = {};
  detachedTransfer_ = {};
  stalledUntilUs_.reset();
}

std::optional<Emulator::RestPoint> Emulator::AtRest() const {
  const Session* s = session_.get();
  if (s == nullptr || timeline_.Next() || s->pending || !s->queue.empty() ||
      !s->announcements.empty() || s->handling != 0 || !s->in.Empty() || !s->out.Empty() ||
      s->parser.Pending() || s->closeRequested) {
    return std::nullopt;
  }
  RestPoint rest{pad_, s->progress, s->transfer, s->echoAcks};
  // With no timer running these ids are spent, and a restarted timeline
  // hands them out again to timers of its own.
  rest.pad.removalWait.reset();
  rest.pad.Transaction().cardholderTimer.reset();
  return rest;
}

void Emulator::Resume(const RestPoint& rest) {
  // The pad was restarted with rest.pad's state, which no connection or
  // router command changes: what it holds beyond that is the card session
  // under way (files and tables are not copied twice).
  pad_.Transaction() = rest.pad.Transaction();
  pad_.removalWait = rest.pad.removalWait;
  if (!session_) return;
  session_->progress = rest.progress;
  session_->transfer = rest.transfer;
  session_->echoAcks = rest.echoAcks;
}

void Emulator::Restart(EmulatorConfig config, PadState state) {
  config_ = std::move(config);
  Restart(std::move(state));
}

void Emulator::Receive(const std::string& bytes, int64_t nowUs) {
  Advance(nowUs);
  if (!session_) {
    Note("bytes outside any connection ignored: " + DescribeBytes(bytes));
    return;
  }
  if (session_->closeRequested) return;
  if (session_->options.routerFront && session_->router.GetState() == RouterFront::State::Waiting) {
    const std::string line = session_->router.Feed(bytes);
    if (session_->router.GetState() != RouterFront::State::Waiting) OnRouterDecision();
    session_->in.Write(line, nowUs_);
  } else {
    session_->in.Write(bytes, nowUs_);
  }
  Advance(nowUs);
}

void Emulator::Poll(int64_t nowUs) {
  Advance(nowUs);
}

std::vector<std::string> Emulator::TakeOutput(int64_t nowUs) {
  std::vector<std::string> pieces;
  TakeOutput(nowUs, pieces);
  return pieces;
}

void Emulator::TakeOutput(int64_t nowUs, std::vector<std::string>& pieces) {
  Advance(nowUs);
  while (session_) {
    auto piece = session_->out.TakeNext(nowUs);
    if (!piece) break;
    pieces.push_back(std::move(*piece));
  }
}

std::optional<int64_t> Emulator::NextDeadline() const {
  std::optional<int64_t> next = timeline_.Next();
  if (session_) {
    for (auto due : {session_->in.NextDue(), session_->out.NextDue()}) {
      if (due && (!next || *due < *next)) next = due;
    }
  }
  return next;
}

void Emulator::Advance(int64_t nowUs) {
  for (;;) {
    const auto input = session_ ? session_->in.NextDue() : std::nullopt;
    const auto timer = timeline_.Next();
    if (input && *input <= nowUs && (!timer || *input <= *timer)) {
      nowUs_ = std::max(nowUs_, *input);
      // One piece at a time: a piece's handling may end the connection.
      if (auto piece = session_->in.TakeNext(*input)) Deliver(std::move(*piece));
      continue;
    }
    auto due = timeline_.TakeDue(nowUs);
    if (!due) break;
    nowUs_ = std::max(nowUs_, due->atUs);
    // A connection's timer does nothing once that connection has gone.
    if (due->owner == 0 || (session_ && session_->id == due->owner)) due->action();
  }
  nowUs_ = std::max(nowUs_, nowUs);
}

uint64_t Emulator::AfterUs(int64_t delayUs, std::function<void()> action) {
  return timeline_.At(nowUs_ + std::max<int64_t>(0, delayUs), std::move(action));
}

uint64_t Emulator::AfterInSession(int64_t delayUs, std::function<void()> action) {
  // Without a connection the timer belongs to none that could come later.
  const uint64_t owner = session_ ? session_->id : std::numeric_limits<uint64_t>::max();
  return timeline_.At(nowUs_ + std::max<int64_t>(0, delayUs), std::move(action), owner);
}

void Emulator::OnRouterDecision() {
  Session& s = *session_;
  if (!s.options.routerFront) {
    Note("direct line at " + std::to_string(s.lineBaud) + " baud");
  } else if (s.router.GetState() == RouterFront::State::Accepted) {
    s.lineBaud = s.router.Setting()->baud;
    Note("router command \"" + s.router.Command() + "\": line at " + std::to_string(s.lineBaud) +
         " baud");
    if (s.router.Command() != kSetComm19200 && s.router.Command() != kSetComm115200) {
      AddViolation(s.router.Command(), "router command is neither \"" + kSetComm19200 +
                                           "\" nor \"" + kSetComm115200 + "\"");
    }
  } else {
    s.lineBaud = config_.link.routerDefaultBaud;
    AddViolation(s.router.Command(),
                 "connection did not start with a router command; the router keeps its "
                 "default of " +
                     std::to_string(s.lineBaud) + " baud");
  }
  s.in.SetOptions({config_.link.pace, s.lineBaud, 0, 0, &lineUse_});
  if (Garbled()) {
    Note("the pad listens at " + std::to_string(AppBaud(pad_.App())) +
         " baud: bytes in both directions arrive as garbage");
  }
}

bool Emulator::Garbled() const {
  return session_ && session_->lineBaud != 0 && session_->lineBaud != AppBaud(pad_.App());
}

UpdateProgress& Emulator::Progress() {
  return session_ ? session_->progress : detachedProgress_;
}

DownloadTransfer& Emulator::Transfer() {
  return session_ ? session_->transfer : detachedTransfer_;
}

void Emulator::AddViolation(const std::string& message, const std::string& description) {
  if (violations_.size() < kMaxViolations) {
    violations_.push_back(Violation{nowUs_, message, description});
  } else {
    ++violationsDropped_;
  }
  if (!transcript_.enabled) return;
  const std::string about = message.empty() ? "" : " [" + DescribeBytes(message) + "]";
  Note("VIOLATION: " + description + about);
}

// A note nobody keeps costs no copy.
void Emulator::Note(std::string_view text) {
  if (transcript_.enabled) transcript_.AddNote(nowUs_, std::string(text));
}

std::string Emulator::ViolationSummary() const {
  std::string out;
  for (const auto& v : violations_) {
    out += MsText(v.timeUs) + " ms: " + v.description;
    if (!v.message.empty()) out += " [" + DescribeBytes(v.message) + "]";
    out += "\n";
  }
  if (violationsDropped_ > 0) out += "... and " + std::to_string(violationsDropped_) + " more\n";
  return out;
}

}  // namespace korvex::emu
