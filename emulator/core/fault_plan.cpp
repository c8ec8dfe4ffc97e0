#include "emulator/core/fault_plan.h"

namespace korvex::emu {

std::string FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::CorruptCheck: return "corruptCheck";
    case FaultKind::CorruptRandom: return "corruptRandom";
    case FaultKind::Nak: return "nak";
    case FaultKind::DropAck: return "dropAck";
    case FaultKind::FailStatus: return "failStatus";
    case FaultKind::Stall: return "stall";
    case FaultKind::Close: return "close";
  }
  return "?";
}

std::optional<FaultKind> FaultKindFromName(const std::string& name) {
  for (FaultKind k :
       {FaultKind::CorruptCheck, FaultKind::CorruptRandom, FaultKind::Nak, FaultKind::DropAck,
        FaultKind::FailStatus, FaultKind::Stall, FaultKind::Close}) {
    if (FaultKindName(k) == name) return k;
  }
  return std::nullopt;
}

FaultPlan::FaultPlan(std::vector<FaultRule> rules)
    : rules_(std::move(rules)), seen_(rules_.size(), 0) {
  for (const auto& r : rules_) rngs_.emplace_back(r.seed);
}

bool FaultPlan::Takes(size_t index, const std::string& text) {
  const FaultRule& r = rules_[index];
  if (text.compare(0, r.message.size(), r.message) != 0) return false;
  const int n = ++seen_[index];
  return n >= r.occurrence && (r.count == 0 || n < r.occurrence + r.count);
}

IncomingFaults FaultPlan::OnIncoming(const std::string& text) {
  IncomingFaults f;
  for (size_t i = 0; i < rules_.size(); ++i) {
    const FaultRule& r = rules_[i];
    if (r.kind == FaultKind::CorruptCheck || r.kind == FaultKind::CorruptRandom) continue;
    if (!Takes(i, text)) continue;
    const FaultRule** slot = r.kind == FaultKind::Stall     ? &f.stall
                             : r.kind == FaultKind::Close   ? &f.close
                             : r.kind == FaultKind::Nak     ? &f.nak
                             : r.kind == FaultKind::DropAck ? &f.dropAck
                                                            : &f.failStatus;
    if (*slot == nullptr) *slot = &r;
  }
  return f;
}

bool FaultPlan::CorruptOutgoing(const std::string& text) {
  bool corrupt = false;
  for (size_t i = 0; i < rules_.size(); ++i) {
    const FaultRule& r = rules_[i];
    if (r.kind == FaultKind::CorruptCheck) {
      corrupt = Takes(i, text) || corrupt;
    } else if (r.kind == FaultKind::CorruptRandom &&
               text.compare(0, r.message.size(), r.message) == 0) {
      std::uniform_real_distribution<double> coin(0.0, 1.0);
      corrupt = coin(rngs_[i]) < r.probability || corrupt;
    }
  }
  return corrupt;
}

}  // namespace korvex::emu
