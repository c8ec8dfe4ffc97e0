// The pad reading its line: garbling at a wrong rate, deafness while an
// application starts or a stall lasts, units, faults on incoming frames and
// the dispatch of requests to their handlers.
#include <limits>

#include "emulator/core/emulator.h"
#include "emulator/core/time_units.h"
#include "emulator/core/wire_text.h"
#include "link/framing.h"

namespace korvex::emu {

bool Emulator::Deaf() const {
  return IsStarting(pad_.App()) || (stalledUntilUs_ && nowUs_ < *stalledUntilUs_);
}

void Emulator::Deliver(std::string bytes) {
  if (Garbled()) {
    for (char& c : bytes) c = Garble(c);
    if (!session_->garbleReported) {
      session_->garbleReported = true;
      AddViolation("", "bytes sent at " + std::to_string(session_->lineBaud) +
                           " baud to a pad listening at " + std::to_string(AppBaud(pad_.App())) +
                           " baud");
    }
  }
  Session& s = *session_;
  s.parser.SetMode(AppCheckMode(pad_.App()));
  // The units' vector is kept from one piece to the next (a piece is often a
  // byte); a handler that delivers more meanwhile simply gets a fresh one.
  std::vector<WireUnit> units = std::move(unitScratch_);
  units.clear();
  s.parser.Feed(bytes, units);
  bool cut = false;  // the connection went, or is to close, before a unit
  for (const auto& unit : units) {
    if (!session_ || session_->closeRequested) {
      cut = true;
      break;
    }
    if (Deaf()) {
      if (!transcript_.enabled) continue;
      const std::string why = IsStarting(pad_.App()) ? AppName(pad_.App()) : "stalled";
      transcript_.Add({nowUs_, Direction::ToPad, unit.bytes,
                       DescribeBytes(unit.bytes) + "  (not read: pad " + why + ")"});
      continue;
    }
    HandleUnit(unit);
  }
  unitScratch_ = std::move(units);
  if (!cut && Deaf() && session_) session_->parser.Reset();
}

void Emulator::HandleUnit(const WireUnit& unit) {
  if (transcript_.enabled) {  // the decoding is for the transcript only
    const CheckMode mode = session_->parser.Mode();
    const bool frame = unit.kind == WireUnit::Frame || unit.kind == WireUnit::BadFrame;
    std::string text = frame ? DescribeFrame(unit.bytes, mode) : DescribeBytes(unit.bytes);
    if (unit.kind == WireUnit::BadFrame) text += "  (bad check)";
    if (unit.kind == WireUnit::Garbage) text += "  (garbage, ignored)";
    transcript_.Add({nowUs_, Direction::ToPad, TranscriptBytes(unit.bytes, mode), text});
  }
  if (unit.kind != WireUnit::Garbage) ++unitsRead_;
  switch (unit.kind) {
    case WireUnit::Ack: OnAck(); break;
    case WireUnit::Nak: OnNak(); break;
    case WireUnit::Enq:
    case WireUnit::Eot: HandleControlUnit(unit); break;
    case WireUnit::BadFrame: Write(std::string(1, NAK), "<NAK>"); break;
    case WireUnit::Garbage: break;
    case WireUnit::Frame: HandleFrame(unit.text); break;
  }
}

void Emulator::HandleControlUnit(const WireUnit& unit) {
  const bool dropped = unit.kind == WireUnit::Eot && session_->pending;
  if (dropped) DropPending("EOT from the control");
  if (const MessageHandler* h = handlers_.Find(unit.bytes, pad_.App())) {
    h->handle(unit.bytes, *this);
    return;
  }
  if (dropped) return;
  Note(DescribeBytes(unit.bytes) + " ignored by the " + AppName(pad_.App()) + " application");
}

void Emulator::HandleFrame(const std::string& text) {
  const IncomingFaults f = faults_.OnIncoming(text);
  if (f.stall) {
    stalledUntilUs_ = f.stall->durationMs > 0 ? nowUs_ + MsToUs(f.stall->durationMs)
                                              : std::numeric_limits<int64_t>::max();
    Note("fault: pad stalls" + (f.stall->durationMs > 0
                                    ? " for " + std::to_string(f.stall->durationMs) + " ms"
                                    : std::string(" for good")));
    return;
  }
  if (f.close) {
    session_->closeRequested = true;
    Note("fault: connection closed instead of an answer");
    return;
  }
  if (session_->handling >= kMaxRequestsInHand) {
    Note("too many requests waiting to be handled: request not read");
    return;
  }
  if (f.nak) {
    Note("fault: good frame answered with NAK and dropped");
    Write(std::string(1, NAK), "<NAK>");
    return;
  }
  if (f.dropAck) {
    Note("fault: ACK not sent");
  } else {
    Write(std::string(1, ACK), "<ACK>");
  }
  session_->echoAcks = false;  // a request ends the track message's ACK exchange
  const std::string failStatus = f.failStatus ? f.failStatus->status : "";
  const int64_t delayUs = ProcessingDelayUs(text);
  if (delayUs <= 0) {
    Dispatch(text, failStatus);
    ReleaseAnnouncements();
    return;
  }
  ++session_->handling;
  const uint64_t id = session_->id;
  AfterUs(delayUs, [this, text, failStatus, id] {
    const bool same = session_ && session_->id == id;
    if (same) --session_->handling;
    Dispatch(text, failStatus);
    if (same) ReleaseAnnouncements();
  });
}

int64_t Emulator::ProcessingDelayUs(const std::string& text) const {
  const MessageHandler* h = handlers_.Find(text, pad_.App());
  const auto& per = config_.delays.perMessageMs;
  const auto d = h ? per.find(h->code) : per.end();
  return MsToUs(d != per.end() ? d->second : config_.delays.processingMs);
}

void Emulator::Dispatch(const std::string& text, const std::string& failStatus) {
  const MessageHandler* h = handlers_.Find(text, pad_.App());
  if (h == nullptr) {
    AddViolation(text, handlers_.Known(text)
                           ? "not taken by the " + AppName(pad_.App()) + " application"
                           : "unknown message");
    return;
  }
  if (!failStatus.empty()) {
    DispatchFailure(*h, text, failStatus);
    return;
  }
  if (Refused(*h, text)) return;
  h->handle(text, *this);
}

void Emulator::DispatchFailure(const MessageHandler& h, const std::string& text,
                               const std::string& failStatus) {
  if (!h.failureReply) {
    Note("fault: status " + failStatus + " cannot be answered to this request; ignored");
    return;
  }
  if (h.failedHandle) {
    if (Refused(h, text)) return;
    h.failedHandle(text, failStatus, *this);
  }
  Note("fault: answering status " + failStatus);
  Reply(h.failureReply(failStatus, *this));
}

// Records and answers a request its handler refuses; false when it may be
// handled.
bool Emulator::Refused(const MessageHandler& h, const std::string& text) {
  if (!h.validate) return false;
  auto rejection = h.validate(text, *this);
  if (!rejection) return false;
  AddViolation(text, rejection->description);
  if (h.failureReply) Reply(h.failureReply(rejection->status, *this));
  return true;
}

}  // namespace korvex::emu
