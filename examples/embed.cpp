// The embedding example of the README, built with the project so that it
// keeps compiling.
#include <iostream>

#include "korvex/asio_host.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"

struct Events : korvex::KorvexEvents {
  void InterfaceEvent(int32_t& type, int32_t& code, std::string& text) override {
    std::cout << type << "/" << code << " " << text << "\n";
    if (type == 0 && code == 1107) ready = true;
  }
  void DebugEvent(int16_t&, std::string&) override {}
  bool ready = false;
};

int main() {
  korvex::AsioHost host;  // real sockets and timers; registry from KORVEX_REGISTRY
  Events events;
  std::string error;
  auto terminal = korvex::JsonTerminal::Load("terminal.json", error);
  if (!terminal) { std::cerr << error << "\n"; return 2; }

  korvex::Korvex pad(host, events);  // the terminal must outlive the control
  pad.setName("P1");
  pad.setEMVRegistryKey("Software\\Shop\\");
  pad.InitFromReg();
  pad.setTerminalObject(*terminal);
  pad.PerformConnectionTest(1);      // 0 = started; the outcome comes as an event
  host.RunUntil([&] { return events.ready; }, std::chrono::seconds(30));
}
