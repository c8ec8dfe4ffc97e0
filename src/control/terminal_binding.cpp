// Binding the host's terminal object and taking the configuration fingerprint
// that the PIN pad's version record is compared with.
#include <string>

#include "control/korvex_impl.h"
#include "hash/secure_hash.h"

namespace korvex {

int16_t Korvex::setTerminalObject(TerminalObject& TerminalObject) {
  return impl_->setTerminalObject(TerminalObject);
}

int16_t Korvex::Impl::setTerminalObject(TerminalObject& object) {
  RaiseDebugEvent(4, "Setting Terminal Object...");
  if (fState != STATE_IDLE) return 1;
  fState = STATE_TERMINAL_SET;
  terminalObject = &object;
  RaiseDebugEvent(5, "Terminal Object set.");
  ERKChecksum = ComputeERKChecksum().substr(0, 30);
  TableReference = BuildTableReference();
  return 0;
}

// The identifiers are concatenated with no separator, so the checksum follows
// the key order but not the split between identifiers.
std::string Korvex::Impl::ComputeERKChecksum() {
  if (terminalObject == nullptr) return "";
  std::string ids;
  const int16_t count = terminalObject->getERKCount();
  for (int32_t k = 1; k <= count; ++k) {
    auto index = static_cast<int16_t>(k);
    ids += terminalObject->getERKID(index);
  }
  return SHA1Hex(ids);
}

// Characters 3 to 8 of the AID table's reference, then of the MVT table's.
std::string Korvex::Impl::BuildTableReference() {
  if (terminalObject == nullptr) return "";
  auto middle = [](const std::string& reference) {
    return reference.size() < 3 ? std::string() : reference.substr(2, 6);
  };
  std::string aidReference;
  std::string mvtReference;
  terminalObject->GetTableReferenceNumber(4, aidReference);
  terminalObject->GetTableReferenceNumber(5, mvtReference);
  return middle(aidReference) + middle(mvtReference);
}

}  // namespace korvex
