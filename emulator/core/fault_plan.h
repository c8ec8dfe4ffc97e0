// The faults of a run and their counters. Counters live as long as the pad,
// so "the third L00" means the third one over all connections.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "emulator/core/fault_rule.h"

namespace korvex::emu {

// The faults that fall on one incoming frame.
struct IncomingFaults {
  const FaultRule* stall = nullptr;
  const FaultRule* close = nullptr;
  const FaultRule* nak = nullptr;
  const FaultRule* dropAck = nullptr;
  const FaultRule* failStatus = nullptr;
};

class FaultPlan {
 public:
  explicit FaultPlan(std::vector<FaultRule> rules = {});

  // Counts one good incoming frame against every incoming rule.
  IncomingFaults OnIncoming(const std::string& text);
  // Counts one outgoing frame transmission; true when its check is to be spoilt.
  bool CorruptOutgoing(const std::string& text);
  const std::vector<FaultRule>& Rules() const { return rules_; }

 private:
  bool Takes(size_t index, const std::string& text);

  std::vector<FaultRule> rules_;
  std::vector<int> seen_;
  std::vector<std::mt19937> rngs_;
};

}  // namespace korvex::emu
