// The waiting states a receive-path run starts from, collected once per
// fuzzing process by driving a control for real against the emulated PIN pad:
// the connection test of a pad that has only its loader (application
// detection, download, table update), two purchases (one with an issuer
// script, one with the card on the blacklist), a warm reset in a transaction,
// a service-code check and a stripe read. Every state the control passes
// through is kept the first time it is seen, with the fields it had then, and
// with what the pad wrote while the control first waited there: the right
// answer for that state, which an input can replay. The pad's rest points
// are kept the same way, one for each state the control was in when the pad
// came to rest, in the order of the run, with what the control sent the pad
// from there up to the next one kept.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "control_snapshot.h"
#include "emulator/adapters/sim_pinpad.h"
#include "harness/outcome_events.h"
#include "korvex/sim_host.h"

namespace korvex::fuzz {

// Files for the download the connection test starts: the application and
// some of the constant files, small so that the transfer is short.
inline void WriteDownloadFolder(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  fs::create_directories(dir / "Constant");
  const auto put = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir / "Constant" / name, std::ios::binary) << bytes;
  };
  std::string noise(600, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 131) & 0xFF);
  put("EMVAPP.out", "KORVEX-EMVAPP\nversion=9.1\n" + noise);
  put("EMVAPP.out.p7s", noise.substr(0, 70));
  put("Currency.dat", "233 EUR 2\r\n978 EUR 2\r\n");
}

// A download folder of its own for the tour, in the temporary directory,
// removed with this.
struct DownloadDir {
  std::string path;
  DownloadDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "korvex-tour-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern + "/";
    WriteDownloadFolder(path);
  }
  ~DownloadDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  DownloadDir(const DownloadDir&) = delete;
  DownloadDir& operator=(const DownloadDir&) = delete;
};

class StateTour {
 public:
  StateTour(TerminalObject& terminal, const std::string& downloadDir)
      : pad_(host_, {}, emu::BrandNewPad()) {
    pad_.Listen("router", 4001);
    control_.Winsock1->SetRemoteHost("router");
    control_.Winsock1->SetRemotePort(4001);
    control_.PinPadName = "PAD1";
    control_.SetDownloadPath(downloadDir);
    control_.setTerminalObject(terminal);
  }

  std::map<int16_t, ControlSnapshot> Run() {
    Step([&] { return control_.PerformConnectionTest(1); }, 1100);
    Purchase(std::string("\x9F\x18\x04\x00\x00\x00\x01\x86\x03\x00", 10), false);
    Purchase("", true);
    Step([&] { return control_.StartTransaction("260304120000", 5.00, 978, false); }, 1102);
    Step([&] { return control_.WarmReset(); }, 1200);
    Step([&] { return control_.CheckServiceCode("201"); }, 1105);
    emu::Cardholder swipe;
    swipe.entry = emu::CardEntry::Swipe;
    pad_.Core().SetCardholder(swipe);
    Step([&] { return control_.StartTransaction("260304120000", 5.00, 978, true); }, 1102);
    Step([&] { return control_.MagnetReader(); }, 1105);
    return std::move(seen_);
  }

  // By state: the bytes the pad wrote while the control first waited there.
  std::map<int16_t, std::string> TakeReplies() { return std::move(replies_); }

  // The control's bytes, each write as it reached the pad: after gapUs from
  // the one before (the first from the pad's coming to rest).
  struct Write {
    int64_t gapUs;
    std::string bytes;
  };
  struct PadRest {
    emu::Emulator::RestPoint rest;
    std::vector<Write> next;     // what the control sent on from there, on one connection
    emu::Cardholder cardholder;  // who was at the pad then (the emulator's configuration)
  };
  std::vector<PadRest> TakeRestPoints() { return std::move(rests_); }

 private:
  void Purchase(const std::string& script71, bool blacklisted) {
    Step([&] { return control_.StartTransaction("260304120000", 12.50, 978, false); }, 1102);
    Step([&] { return control_.EnterPIN(); }, 1103);
    Step([&] { return control_.GetFirstCrypto(0, blacklisted); }, 1104);
    Step([&] { return control_.GetSecondCrypto(0, script71, "", "1122334455667788", "3030"); },
         1106);
  }

  // One public call and the exchange it starts, up to its success code, an
  // error or a minute of quiet; every state on the way is kept.
  void Step(const std::function<int16_t()>& call, int32_t successCode) {
    events_.success.reset();
    events_.error.reset();
    if (call() != 0) return;
    host_.RunUntil(
        [&] {
          seen_.try_emplace(control_.fState, Capture(control_));
          NoteReplies();
          NoteRest();
          return events_.success == successCode || events_.error.has_value();
        },
        60000);
  }

  // Runs between any two events: what the pad wrote since the last call was
  // written while the control was in the state it had then.
  void NoteReplies() {
    const auto& log = host_.WireLog();
    for (; logged_ < log.size(); ++logged_) {
      const SimWireRecord& r = log[logged_];
      if (r.kind == SimWireRecord::Data && r.from == SimSide::Peer && !left_.count(waiting_)) {
        replies_[waiting_] += r.bytes;
      }
    }
    if (control_.fState != waiting_) left_.insert(waiting_);
    waiting_ = control_.fState;
  }

  // Runs between any two events as well. The control's bytes go to the rest
  // point kept last when they reach the pad: written while the pad was still
  // busy, they are its next request all the same.
  void NoteRest() {
    const auto& log = host_.WireLog();
    const int64_t latencyUs = host_.toPeer.latencyMs * 1000;
    for (; restLogged_ < log.size() && log[restLogged_].timeUs + latencyUs <= host_.NowUs();
         ++restLogged_) {
      const SimWireRecord& r = log[restLogged_];
      if (r.kind != SimWireRecord::Data) {
        restOpen_ = false;  // a new connection starts with the router's command
      } else if (r.from == SimSide::Control && restOpen_) {
        const int64_t arrivedUs = r.timeUs + latencyUs;
        rests_.back().next.push_back({arrivedUs - lastRestUs_, r.bytes});
        lastRestUs_ = arrivedUs;
      }
    }
    if (restStates_.count(control_.fState)) return;
    if (auto rest = pad_.Core().AtRest()) {
      restStates_.insert(control_.fState);
      rests_.push_back({std::move(*rest), {}, pad_.Core().Config().cardholder});
      restOpen_ = true;
      lastRestUs_ = host_.NowUs();
    }
  }

  SimHost host_;
  emu::SimPinPad pad_;
  korvex::testing::OutcomeEvents events_;
  Korvex::Impl control_{host_, events_};
  std::map<int16_t, ControlSnapshot> seen_;
  std::map<int16_t, std::string> replies_;
  std::set<int16_t> left_;  // states the control has waited in and left
  int16_t waiting_ = STATE_IDLE;
  size_t logged_ = 0;  // wire log records looked at
  std::vector<PadRest> rests_;
  std::set<int16_t> restStates_;
  size_t restLogged_ = 0;   // wire log records that have reached the pad
  bool restOpen_ = false;   // the last rest point kept takes the control's bytes
  int64_t lastRestUs_ = 0;  // when its last write (or the rest itself) came
};

}  // namespace korvex::fuzz
