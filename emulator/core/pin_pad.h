// What the PIN pad keeps whatever connection comes and goes: the running
// application, whether the payment application is installed, the files the
// loader received, the card reader and the card, the card transaction under
// way, the EMV table records and the version record. Records and files are
// kept byte for byte as they were received.
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

// A file the loader received in download mode, with its header's fields.
struct StoredFile {
  std::string type;  // "OC" (an application to run) or "OD" (data)
  uint32_t size = 0;
  std::string timestamp;  // 14 digits as received, YYYYMMDDhhmmss
  std::string data;
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
  // Without a payment application the loader never starts one ("L0302" goes
  // unanswered) until a download installs it.
  bool paymentInstalled = true;
  // The installed payment application's version line ("version=..."), "" when
  // unknown.
  std::string paymentVersion{};
  // Files received by the loader, by name as received.
  std::map<std::string, StoredFile> files{};
};

// A pad fresh from the factory: the loader runs, no payment application, no
// tables, no version record, no files.
PadState BrandNewPad();

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
  bool PaymentInstalled() const { return state_.paymentInstalled; }
  const std::map<std::string, StoredFile>& Files() const { return state_.files; }
  const std::string& PaymentVersion() const { return state_.paymentVersion; }
  // What a finished download leaves: a file replaces one of the same name.
  void StoreFile(const std::string& name, StoredFile file);
  void InstallPayment(std::string version);

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
