// The host bridge's input comes from any program: bytes of any shape, cut into
// lines and answered as `korvex host` answers them, must give one valid JSON
// line per input line and never crash, hang or throw.
//
// As in `korvex host`, the bridge has the example terminal file (so that
// setTerminalObject binds it and takes its fingerprint) and the host's loop
// runs between lines, so that what a call starts (a connection that nobody
// answers, a timer) ends in event lines that must be valid JSON as well.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/bridge_output.h"
#include "cli/line_dispatcher.h"
#include "example_terminal.h"
#include "korvex/sim_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvex::cli;
  korvex::SimHost host;
  OutputQueue output(size_t(1) << 20);
  JsonLineWriter writer(output);
  BridgeEvents events(writer, false);  // the calls' events become lines too
  korvex::Korvex control(host, events);
  // Read once: the terminal object only answers the control's questions.
  static const auto terminal = korvex::fuzz::LoadExampleTerminal();
  BridgeTarget target{control, terminal.get()};
  LineDispatcher dispatcher(KorvexMethods(), target, writer);

  // Far below libFuzzer's longest input (4 KiB), so that an input reaches the
  // overlong case: at 4 KiB no input was ever longer than a line may be.
  LineSplitter splitter(1024);
  size_t lines = 0;
  for (InputLine& line :
       splitter.Feed(std::string_view(reinterpret_cast<const char*>(data), size))) {
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
    if (!line->text.empty() && !Json::accept(line->text)) __builtin_trap();
  }
  if (answers != lines) __builtin_trap();
  return 0;
}
