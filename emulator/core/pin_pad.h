// What the PIN pad keeps whatever connection comes and goes: the running
// application, the card reader and the card, the card transaction under way,
// the EMV table records and the version record. Records are kept byte for
// byte as they were received.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "emulator/core/card_profile.h"
#include "emulator/core/card_session.h"
#include "emulator/core/pad_app.h"

namespace korvex::emu {

// Table numbers as the table messages carry them.
inline constexpr int kEstTable = 1;
inline constexpr int kMvtTable = 2;
inline constexpr int kVersionTable = 3;

struct CardReader {
  bool present = false;
  // How long after "I02" the cardholder takes the card out; -1: never.
  int64_t removalDelayMs = 2000;
};

struct PadState {
  PadApp app = PadApp::Payment;
  CardReader card;
  // Table number -> records in table order. The version table holds at most
  // one record, record 1.
  std::map<int, std::vector<std::string>> tables;
  // The card the cardholder presents (its ATC moves on with each first
  // cryptogram).
  CardProfile cardProfile{};
};

class PinPad {
 public:
  explicit PinPad(PadState state = {}) : state_(std::move(state)) {}

  PadApp App() const { return state_.app; }
  void SetApp(PadApp app);
  CardReader& Card() { return state_.card; }
  const CardReader& Card() const { return state_.card; }
  CardProfile& Profile() { return state_.cardProfile; }
  const CardProfile& Profile() const { return state_.cardProfile; }
  CardSession& Transaction() { return transaction_; }
  const CardSession& Transaction() const { return transaction_; }

  std::vector<std::string>& Records(int table) { return state_.tables[table]; }
  const std::vector<std::string>& Records(int table) const;
  std::optional<std::string> VersionRecord() const;

  const PadState& State() const { return state_; }
  // Bumped by every change worth saving (application, tables, version).
  uint64_t Revision() const { return revision_; }
  void Touch() { ++revision_; }

  // The pending "I02" answer, while the cardholder has not taken the card.
  std::optional<uint64_t> removalWait;

 private:
  PadState state_;
  CardSession transaction_;
  uint64_t revision_ = 0;
};

}  // namespace korvex::emu
