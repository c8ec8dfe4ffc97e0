#include "bench/scale/pad_session.h"

#include "cli/demo_issuer.h"
#include "cli/local_date_time.h"

namespace korvex::bench {

namespace {

// The event that ends each step.
int32_t AwaitedCode(int step) {
  constexpr int32_t codes[] = {1107, 1100, 1102, 1103, 1104, 1106};
  return codes[step];
}

}  // namespace

PadSession::PadSession(AsioHost& host, TerminalObject& terminal, const std::string& registryKey,
                       const std::string& name, StackProbe& probe)
    : host_(host),
      terminal_(terminal),
      probe_(probe),
      control_(std::make_unique<Korvex>(host, *this)) {
  control_->setName(name);
  control_->setEMVRegistryKey(registryKey);
}

PadSession::~PadSession() = default;

void PadSession::Start() {
  if (control_->InitFromReg() != 0) return Fail("InitFromReg refused");
  if (control_->setTerminalObject(terminal_) != 0) return Fail("setTerminalObject refused");
  Begin(Step::Connect);
}

void PadSession::Begin(Step next) {
  step_ = next;
  int16_t started = 0;
  switch (next) {
    case Step::Connect: started = control_->PerformConnectionTest(1); break;
    case Step::Init: started = control_->InitTransaction(); break;
    case Step::Start:
      started = control_->StartTransaction(cli::LocalDateTime(), 12.50, 978, false);
      break;
    case Step::Pin: started = control_->EnterPIN(); break;
    case Step::First: started = control_->GetFirstCrypto(0, false); break;
    case Step::Second: {
      const cli::IssuerAnswer issuer = cli::SimulatedApproval();
      started = control_->GetSecondCrypto(0, issuer.script71, "", issuer.iad, issuer.actionCode);
      break;
    }
    case Step::Done: return;
  }
  if (started != 0)
    Fail("step " + std::to_string(int(next)) + " refused with " + std::to_string(started));
}

void PadSession::Fail(const std::string& why) {
  if (failed_) return;
  failed_ = true;
  failure_ = why;
}

void PadSession::InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) {
  probe_.Touch();
  if (Done()) return;
  if (EventType != 0) {
    return Fail("event " + std::to_string(EventType) + "/" + std::to_string(Code) + " " + Text);
  }
  if (Code != AwaitedCode(int(step_))) return;
  const Step next = Step(int(step_) + 1);
  if (next == Step::Done) {
    step_ = Step::Done;
    return;
  }
  // Posted: the next call runs from the loop, not inside this event.
  step_ = next;
  host_.Post([this, next] { Begin(next); });
}

void PadSession::DebugEvent(int16_t&, std::string&) {
  probe_.Touch();
}

bool PadSession::WantsDebugEvents() const {
  probe_.Touch();
  return false;
}

}  // namespace korvex::bench
