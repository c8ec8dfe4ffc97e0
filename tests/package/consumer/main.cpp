// Uses the installed library as an embedding program does: a control on the
// simulated host, its name set and read back, and a connection test that is
// refused with no terminal object bound. Exit status 0 when all holds.
#include <iostream>

#include "korvex/korvex.h"
#include "korvex/sim_host.h"

namespace {

struct Events : korvex::KorvexEvents {
  void InterfaceEvent(int32_t&, int32_t&, std::string&) override {}
  void DebugEvent(int16_t&, std::string&) override {}
};

}  // namespace

int main() {
  korvex::SimHost host;
  Events events;
  korvex::Korvex pad(host, events);
  pad.setName("P1");
  const bool ok = pad.getName() == "P1" && pad.getState() == 0 && pad.PerformConnectionTest(1) == 1;
  std::cout << (ok ? "consumer ok" : "consumer FAILED") << "\n";
  return ok ? 0 : 1;
}
