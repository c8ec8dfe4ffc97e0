// The host bridge's input comes from any program: bytes of any shape, cut into
// lines and answered as `korvex host` answers them, must give one valid JSON
// line per input line and never crash, hang or throw.
//
// As in `korvex host`, the bridge has the example terminal file (so that
// setTerminalObject binds it and takes its fingerprint) and the host's loop
// runs between lines, so that what a call starts (a connection that nobody
// answers, a timer) ends in event lines that must be valid JSON as well.
//
// Input: the first byte says which calls the host made before the input's
// lines, one bit each, in this order: setName("PAD1"), setEMVRegistryKey
// (the registry holds that pad's router), setTerminalObject, SetDownloadPath,
// InitFromReg, PerformConnectionTest(1), InitTransaction, and then ten
// seconds of the host's loop (the connection attempt ends). The rest are the
// lines. A line costs a JSON parse and an answer on top of its call, so a
// control that had its calls made here reaches in one or two lines what took
// five or six before.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/bridge_output.h"
#include "cli/line_dispatcher.h"
#include "example_terminal.h"
#include "json_check.h"
#include "korvex/sim_host.h"

namespace {

using namespace korvex;

// The calls' texts, made once: only the control is new for each input.
const std::string kRegistryKey = "SOFTWARE\\Korvex\\EMV\\";
const std::string kPadKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvex\\EMV\\PinPads\\PAD1";
const std::string kDownloadPath = "/tmp/korvex-download/";

void CallsBefore(uint8_t calls, SimHost& host, Korvex& control, TerminalObject& terminal) {
  if (calls & 0x01) control.setName("PAD1");
  if (calls & 0x02) {
    // The pad's key found once for its three values (REG_SZ).
    MemoryRegistry::ValueMap& pad = host.registry().Values(kPadKey);
    MemoryRegistry::SetValueIn(pad, "RouterHost", std::string("127.0.0.1\0", 10), 1);
    MemoryRegistry::SetValueIn(pad, "RouterPort", std::string("9999\0", 5), 1);
    MemoryRegistry::SetValueIn(pad, "Com", std::string("3\0", 2), 1);
    control.setEMVRegistryKey(kRegistryKey);
  }
  if (calls & 0x04) control.setTerminalObject(terminal);
  if (calls & 0x08) control.SetDownloadPath(kDownloadPath);
  if (calls & 0x10) control.InitFromReg();
  if (calls & 0x20) control.PerformConnectionTest(1);
  if (calls & 0x40) control.InitTransaction();
  if (calls & 0x80) host.RunFor(10000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvex::cli;
  if (size < 1) return 0;
  SimHost host;
  OutputQueue output(size_t(1) << 20);
  JsonLineWriter writer(output);
  BridgeEvents events(writer, false);  // the calls' events become lines too
  Korvex control(host, events);
  // Read once: the terminal object only answers the control's questions.
  static const auto terminal = korvex::fuzz::LoadExampleTerminal();
  CallsBefore(data[0], host, control, *terminal);
  BridgeTarget target{control, terminal.get()};
  LineDispatcher dispatcher(KorvexMethods(), target, writer);

  // The longest call in the seeds is 70 bytes; a line of 81 is over the cut
  // here, so that a short input reaches the overlong case (the bridge cuts at
  // 1 KiB, which no input this short could pass).
  LineSplitter splitter(80);
  size_t lines = 0;
  for (InputLine& line :
       splitter.Feed(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1))) {
    dispatcher.OnLine(std::move(line));
    ++lines;
    host.RunFor(200);
  }
  if (auto last = splitter.Finish()) dispatcher.OnLine(std::move(*last)), ++lines;
  host.RunFor(10000);
  output.Close();
  size_t answers = 0;
  while (auto line = output.Pop()) {
    answers += line->kind == LineKind::kAnswer;
    if (!line->text.empty() && !korvex::fuzz::IsJson(line->text)) __builtin_trap();
  }
  if (answers != lines) __builtin_trap();
  return 0;
}
