// The emulated PIN pad ready for card transactions: the control bound to the
// example terminal, the payment application confirmed.
#pragma once

#include <algorithm>

#include "harness/emu_rig.h"
#include "transaction/trans_data.h"

namespace korvex::testing {

// The purchase every flow starts with: 12.50 EUR on 4 March 2026, 12:00; the
// insert prompt, chip start, application selection and card-data request.
inline const std::string kDateTime = "260304120000";
inline const std::string kInsert = "Z2\x1A Sisesta  kaart   Insert  card";
inline const std::string kC00 = "C0000101260304120000000000001250";
inline const std::string kC010 = "C0100000000012500000000000000978";
inline const std::string kC20 = "C20055F285F3482009F335F2D";

struct TxnRig : EmuRig {
  explicit TxnRig(emu::EmulatorConfig config = {}, emu::PadState state = {},
                  JsonTerminal::Config terminalConfig = ExampleTerminal())
      : EmuRig(std::move(config), std::move(state), std::move(terminalConfig)) {}

  // Connected with the payment application confirmed (state 111); the events
  // and the pad's transcript so far are forgotten.
  void Ready() {
    Connect();
    Forget();
  }
  void Forget() {
    events.Clear();
    seen_ = pad.Core().GetTranscript().Entries().size();
  }

  // Runs until the control is in `state` (and has nothing left to do at this
  // instant) or maxMs of virtual time have passed.
  bool RunToState(int16_t state, int64_t maxMs = 30000) {
    return host.RunUntil([&] { return control.fState == state; }, maxMs);
  }
  // Runs until an InterfaceEvent of this type and code has been raised.
  bool RunToEvent(int32_t type, int32_t code, int64_t maxMs = 30000) {
    return host.RunUntil([&] { return events.HasInterface(type, code); }, maxMs);
  }

  // Texts of the frames the pad received since the last Forget, in order.
  Texts NewRequests() const {
    const auto& all = pad.Core().GetTranscript().Entries();
    Texts out;
    for (size_t i = seen_; i < all.size(); ++i) {
      const std::string& b = all[i].bytes;
      if (all[i].direction == emu::Direction::ToPad && b.size() >= 3 && b[0] == '\x02')
        out.push_back(b.substr(1, b.find('\x03') - 1));
    }
    return out;
  }
  // The control's InterfaceEvents since the last Forget.
  Events Interfaces() const { return events.Interfaces(); }
  // The stored card data, as the host's getTag reads it.
  std::string Tag(const std::string& key) const { return getTag(control.txn.TransData, key); }
  // Connections the router saw open, by their line command.
  size_t RouterLines() const {
    return static_cast<size_t>(
        std::ranges::count_if(pad.Core().GetTranscript().Entries(), [](const auto& e) {
          return e.text.starts_with("router command \"SETCOMM19200,n,8,1  \"");
        }));
  }
  // Trace texts of exactly this level, in order.
  Texts Trace(int level) const {
    Texts out;
    for (const auto& e : events.all) {
      if (e.kind == RecordedEvent::Debug && e.type == level) out.push_back(e.text);
    }
    return out;
  }

 private:
  size_t seen_ = 0;
};

}  // namespace korvex::testing
