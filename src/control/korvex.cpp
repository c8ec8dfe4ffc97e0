// The public control: a thin shell over its implementation. Public methods
// that start protocol work are defined beside their subsystem's code.
#include "control/korvex_impl.h"

namespace korvex {

Korvex::Korvex(Host& host, KorvexEvents& events) : impl_(std::make_unique<Impl>(host, events)) {}

Korvex::~Korvex() = default;

int16_t Korvex::getState() { return impl_->fState; }
void Korvex::setEMVRegistryKey(const std::string& EMVRegistryKey) {
  impl_->EMVRegistryKey = EMVRegistryKey;
}
std::string Korvex::getName() { return impl_->PinPadName; }
void Korvex::setName(const std::string& myName) { impl_->PinPadName = myName; }
int16_t Korvex::getHostIndex() { return impl_->HostIndex; }

}  // namespace korvex
