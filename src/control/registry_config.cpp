// Where the router of this PIN pad listens, read from the registry branch
// that the host named.
#include "control/korvex_impl.h"
#include "support/conversions.h"
#include "support/registry_reading.h"

namespace korvex {

int16_t Korvex::Impl::InitFromReg() {
  if (fState != STATE_IDLE) return 1;
  if (EMVRegistryKey.empty() || PinPadName.empty()) return 0;

  // The host's key ends with its own backslash.
  const std::string key = EMVRegistryKey + "PinPads\\" + PinPadName;
  RegistryBackend& registry = host.Registry();

  Winsock1->SetRemoteHost(GetSoftwareRegString(registry, key, "RouterHost", ""));
  ComPort = static_cast<uint8_t>(
      NumberInRange(GetSoftwareRegString(registry, key, "Com", "0"), 0, 255, 0));

  // Text that is not a number counts as "0". A number beyond 32 bits cannot be
  // a port either; it is taken as 0 too, so the connection attempt reports it
  // instead of this call failing half-way.
  const std::string port = GetSoftwareRegString(registry, key, "RouterPort", "0");
  int32_t remotePort = 0;
  if (!IsNumeric(port) || !ToLong(port, remotePort)) remotePort = 0;
  Winsock1->SetRemotePort(remotePort);
  return 0;
}

int16_t Korvex::InitFromReg() {
  return impl_->InitFromReg();
}

}  // namespace korvex
