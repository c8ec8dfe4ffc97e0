// The pad's side of the link: ACK and NAK out, and its own frames, one at a
// time, each waiting for the control's ACK and resent after a NAK or a
// missing ACK up to the resend limit. A frame the pad announces on its own
// (the track message) waits behind any request being handled; after the
// control ACKed it, the control sends one more bare ACK (and again while it
// waits), each of which the pad answers with an ACK.
#include "emulator/core/emulator.h"
#include "emulator/core/time_units.h"
#include "emulator/core/wire_text.h"
#include "link/framing.h"

namespace korvex::emu {

void Emulator::Write(const std::string& bytes, const std::string& decoded) {
  if (!session_) return;
  const bool garbled = Garbled();
  std::string garbledBytes;
  if (garbled) {
    garbledBytes = bytes;
    for (char& c : garbledBytes) c = Garble(c);
  }
  const std::string& wire = garbled ? garbledBytes : bytes;
  session_->out.SetOptions({config_.link.pace, AppBaud(pad_.App()), config_.link.chunkSize,
                            MsToUs(config_.link.chunkGapMs), &lineUse_});
  if (transcript_.enabled) {
    transcript_.Add({nowUs_, Direction::FromPad, wire,
                     garbled ? decoded + "  (garbled on the line)" : decoded});
  }
  session_->out.Write(wire, nowUs_);
}

void Emulator::Reply(const std::string& text) {
  Queue({text, false});
}

void Emulator::Announce(const std::string& text) {
  if (session_ && !session_->closeRequested && session_->handling > 0) {
    if (session_->announcements.size() >= kMaxQueuedFrames) {
      Note("too many frames held: frame dropped: " + DescribeBytes(text));
      return;
    }
    Note("held until the request under way is answered: " + DescribeBytes(text));
    session_->announcements.push_back(text);
    return;
  }
  Queue({text, true});
}

void Emulator::Queue(OutgoingFrame frame) {
  if (!session_ || session_->closeRequested) {
    Note("no connection: frame lost: " + DescribeBytes(frame.text));
    return;
  }
  if (session_->queue.size() >= kMaxQueuedFrames) {
    Note("too many frames waiting for their turn: frame dropped: " + DescribeBytes(frame.text));
    return;
  }
  session_->queue.push_back(std::move(frame));
  if (!session_->pending) SendNext();
}

void Emulator::ReleaseAnnouncements() {
  if (!session_ || session_->handling > 0) return;
  while (session_ && !session_->announcements.empty()) {
    std::string text = std::move(session_->announcements.front());
    session_->announcements.erase(session_->announcements.begin());
    Queue({std::move(text), true});
  }
}

void Emulator::SendNext() {
  if (!session_ || session_->pending || session_->queue.empty()) return;
  session_->pending = std::move(session_->queue.front());
  session_->queue.erase(session_->queue.begin());
  session_->resends = 0;
  Transmit();
}

void Emulator::Transmit() {
  const std::string& text = session_->pending->text;
  const CheckMode mode = AppCheckMode(pad_.App());
  std::string frame = EncodeFrame(text, mode);
  const bool spoilt = faults_.CorruptOutgoing(text);
  if (spoilt) frame.back() = static_cast<char>(frame.back() ^ 0x5A);
  // The decoding is for the transcript only.
  std::string decoded;
  if (transcript_.enabled) {
    decoded = DescribeFrame(frame, mode) + (spoilt ? "  (check spoilt on purpose)" : "");
  }
  Write(frame, decoded);
  const int64_t timeoutMs = config_.delays.ackTimeoutMs;
  // Every change of the pending frame cancels this timer, so when it fires the
  // frame it waits for is still the pending one.
  session_->ackTimer = AfterInSession(MsToUs(timeoutMs), [this, timeoutMs] {
    AddViolation(session_->pending->text,
                 "frame not acknowledged within " + std::to_string(timeoutMs) + " ms");
    Resend("no ACK");
  });
}

void Emulator::OnAck() {
  if (!session_->pending) {
    if (session_->echoAcks) {
      Write(std::string(1, ACK), "<ACK>");
      Note("ACK answered: the control acknowledges the track message");
    } else {
      Note("ACK with no frame waiting for it");
    }
    return;
  }
  timeline_.Cancel(session_->ackTimer);
  session_->echoAcks = session_->pending->announced;
  session_->pending.reset();
  SendNext();
}

void Emulator::OnNak() {
  if (!session_->pending) {
    Note("NAK with no frame waiting for it: nothing to resend");
    return;
  }
  timeline_.Cancel(session_->ackTimer);
  Resend("NAK");
}

void Emulator::Resend(const std::string& why) {
  if (session_->resends >= config_.link.resendLimit) {
    DropPending("given up after " + std::to_string(session_->resends) + " resends");
    return;
  }
  ++session_->resends;
  Note("resend " + std::to_string(session_->resends) + " after " + why);
  Transmit();
}

void Emulator::DropPending(const std::string& why) {
  timeline_.Cancel(session_->ackTimer);
  Note("frame dropped (" + why + "): " + DescribeBytes(session_->pending->text));
  session_->pending.reset();
  SendNext();
}

}  // namespace korvex::emu
