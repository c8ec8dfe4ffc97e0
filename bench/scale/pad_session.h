// One control of a scale run and the steps it takes, as `korvex demo` takes
// them against a pad with old tables: connection test, table update, then a
// chip purchase with PIN, first and second cryptogram. Each step starts when
// the event ending the previous one has come; the call is posted to the host's
// loop rather than made from inside the control's event.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvex/asio_host.h"
#include "korvex/korvex.h"
#include "korvex/terminal_object.h"

namespace korvex::bench {

// The lowest stack address the control's events were raised at, across all
// sessions of the thread.
struct StackProbe {
  uintptr_t lowest = UINTPTR_MAX;
  void Touch() {
    char here = 0;
    lowest = std::min(lowest, reinterpret_cast<uintptr_t>(&here));
  }
};

class PadSession : public KorvexEvents {
 public:
  // `name` is the pad's registry name under `registryKey`.
  PadSession(AsioHost& host, TerminalObject& terminal, const std::string& registryKey,
             const std::string& name, StackProbe& probe);
  ~PadSession() override;

  void Start();
  bool Done() const { return step_ == Step::Done || failed_; }
  bool Failed() const { return failed_; }
  const std::string& Failure() const { return failure_; }

  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override;
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override;
  // No: a host of thousands of pads reads no traces. The probe is touched
  // where each trace would have been raised, so the stack still counts them.
  bool WantsDebugEvents() const override;

 private:
  enum class Step { Connect, Init, Start, Pin, First, Second, Done };
  // Calls the method of `next`; a refusal ends the session.
  void Begin(Step next);
  void Fail(const std::string& why);

  AsioHost& host_;
  TerminalObject& terminal_;
  StackProbe& probe_;
  std::unique_ptr<Korvex> control_;
  Step step_ = Step::Connect;
  bool failed_ = false;
  std::string failure_;
};

}  // namespace korvex::bench
