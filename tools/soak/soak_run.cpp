#include "tools/soak/soak_run.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "cli/demo_issuer.h"
#include "cli/demo_terminal.h"
#include "link/framing.h"
#include "tools/soak/soak_checks.h"
#include "tools/soak/soak_steps.h"

namespace korvex::soak {

namespace {

namespace fs = std::filesystem;

const std::string kDateTime = "261207120000";

uint32_t RunSeed(uint32_t seed, int run) {
  return seed * 1000003u + static_cast<uint32_t>(run);
}

void Tally(const StepResult& result, const std::string& run, SoakTotals& totals) {
  ++totals.run;
  switch (result.end) {
    case StepEnd::Done: ++totals.completed; break;
    case StepEnd::Error: {
      ++totals.endedWithError;
      ErrorCount& count = totals.errorsByCode[result.code];
      if (count.count++ == 0) count.example = result.text;
      break;
    }
    case StepEnd::Hung:
      ++totals.hung;
      totals.hangs.push_back(run + ", " + result.text);
      break;
  }
}

void Wrong(int found, const std::string& run, std::vector<std::string>& lines, SoakTotals& totals,
           bool verbose) {
  totals.wrongValues += found;
  for (const std::string& line : lines) {
    if (verbose || totals.wrong.size() < 20) totals.wrong.push_back(run + ": " + line);
  }
  lines.clear();
}

// The frame with its control characters and other bytes outside printable
// ASCII written as \xNN.
std::string Printable(const std::string& bytes) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return out;
}

// An LRC frame whose corruptions cancel in its check byte.
bool PassesCheck(const std::string& frame) {
  return frame.size() >= 3 && frame.front() == STX && frame[frame.size() - 2] == ETX &&
         static_cast<uint8_t>(frame.back()) ==
             CalculateLRC(std::string_view(frame).substr(0, frame.size() - 1));
}

// Counts the run's spoilt frames that passed their check byte and the replies
// the control refused for their fields; when verbose, lists those frames.
void NoteSpoilt(const SoakRig& rig, const std::string& run, bool verbose, SoakTotals& totals) {
  totals.refusedForFields += rig.events.malformed;
  std::vector<std::string> lines;
  for (const NoisyLine::Spoilt& write : rig.line.SpoiltToControl()) {
    if (!PassesCheck(write.arrived)) continue;
    ++totals.spoiltPassingCheck;
    lines.push_back("  sent    " + Printable(write.sent));
    lines.push_back("  arrived " + Printable(write.arrived));
  }
  if (!verbose || lines.empty()) return;
  totals.wrong.push_back(run + ": " + std::to_string(lines.size() / 2) +
                         " spoilt frames passed their check byte, " +
                         std::to_string(rig.events.malformed) + " refused for their fields");
  totals.wrong.insert(totals.wrong.end(), lines.begin(), lines.end());
}

void Purchase(const SoakOptions& options, int index, const JsonTerminal::Config& terminal,
              SoakTotals& totals) {
  SoakRig rig(options, RunSeed(options.seed, index), emu::PadState{}, terminal);
  Korvex& c = rig.control;
  const std::string run = "purchase " + std::to_string(index + 1);
  const cli::IssuerAnswer issuer = cli::SimulatedApproval();
  std::vector<std::string> lines;
  // The step, what it awaits, and the card data it makes the control take.
  struct Step {
    const char* title;
    std::function<int16_t()> call;
    int32_t code;
    const PurchaseStep* check;
  };
  const PurchaseStep cardData = PurchaseStep::CardData;
  const PurchaseStep firstAc = PurchaseStep::FirstCryptogram;
  const PurchaseStep completed = PurchaseStep::Completed;
  const Step steps[] = {
      {"setTerminalObject", [&] { return c.setTerminalObject(rig.terminal); }, -1, nullptr},
      {"PerformConnectionTest", [&] { return c.PerformConnectionTest(1); }, 1107, nullptr},
      {"StartTransaction", [&] { return c.StartTransaction(kDateTime, 12.5, 978, false); }, 1102,
       &cardData},
      {"EnterPIN", [&] { return c.EnterPIN(); }, 1103, nullptr},
      {"GetFirstCrypto", [&] { return c.GetFirstCrypto(0, false); }, 1104, &firstAc},
      {"GetSecondCrypto",
       [&] { return c.GetSecondCrypto(0, issuer.script71, "", issuer.iad, issuer.actionCode); },
       1106, &completed},
  };
  StepResult result;
  for (const Step& step : steps) {
    if (step.code < 0) {  // a call that answers at once
      if (const int16_t status = step.call(); status != 0) {
        result = {StepEnd::Error, "refused " + std::to_string(status), step.title};
        break;
      }
      continue;
    }
    result = RunStep(rig, step.title, step.call, step.code, options.hangBoundMs);
    if (result.end != StepEnd::Done) break;
    if (step.check) {
      Wrong(CheckCardData(rig, *step.check, lines), run, lines, totals, options.verbose);
    }
  }
  NoteSpoilt(rig, run, options.verbose, totals);
  Tally(result, run, totals);
}

void Download(const SoakOptions& options, int index, const std::string& folder,
              const JsonTerminal::Config& terminal, SoakTotals& totals) {
  SoakRig rig(options, RunSeed(options.seed, options.purchases + index), emu::BrandNewPad(),
              terminal);
  Korvex& c = rig.control;
  const std::string run = "download " + std::to_string(index + 1);
  c.setName("PAD1");
  c.SetDownloadPath(folder);
  StepResult result{StepEnd::Error, "refused 1", "setTerminalObject"};
  if (c.setTerminalObject(rig.terminal) == 0) {
    result = RunStep(
        rig, "PerformConnectionTest", [&] { return c.PerformConnectionTest(1); }, 1100,
        options.hangBoundMs);
  }
  if (result.end == StepEnd::Done) {
    std::vector<std::string> lines;
    Wrong(CheckDownload(rig, folder, lines), run, lines, totals, options.verbose);
  }
  NoteSpoilt(rig, run, options.verbose, totals);
  Tally(result, run, totals);
}

// A private copy of the download folder: the control writes its key files
// into it.
class FolderCopy {
 public:
  explicit FolderCopy(const std::string& source) {
    std::string pattern = (fs::temp_directory_path() / "korvex-soak-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    path_ = pattern;
    std::error_code ec;
    fs::copy(fs::path(source) / "Constant", fs::path(path_) / "Constant",
             fs::copy_options::recursive, ec);
    if (ec) throw std::runtime_error(source + "/Constant: " + ec.message());
  }
  ~FolderCopy() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  FolderCopy(const FolderCopy&) = delete;
  FolderCopy& operator=(const FolderCopy&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

SoakTotals RunSoak(const SoakOptions& options, std::ostream& progress) {
  std::string error;
  const auto terminal = JsonTerminal::FromText(cli::DemoTerminalJson(), "terminal.json", error);
  if (!terminal) throw std::runtime_error("terminal: " + error);
  const JsonTerminal::Config config = terminal->config();

  SoakTotals totals;
  const auto start = std::chrono::steady_clock::now();
  const auto report = [&] {
    if (totals.run % 1000 != 0) return;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    progress << totals.run << " runs, " << static_cast<int64_t>(took.count()) << " s\n";
  };
  for (int i = 0; i < options.purchases; ++i) {
    Purchase(options, i, config, totals);
    report();
  }
  if (options.downloads > 0) {
    const FolderCopy folder(options.downloadFolder.empty() ? KORVEX_DOWNLOAD_FOLDER
                                                           : options.downloadFolder);
    for (int i = 0; i < options.downloads; ++i) {
      Download(options, i, folder.path(), config, totals);
      report();
    }
  }
  CheckSanitizers(totals);
  return totals;
}

}  // namespace korvex::soak
