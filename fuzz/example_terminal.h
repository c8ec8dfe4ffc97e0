// The shipped examples/terminal.json, as the fuzz targets that drive a control
// bind it. A copy that does not load is a broken checkout, not a finding: the
// target stops at once with the reader's message.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "korvex/json_terminal.h"

namespace korvex::fuzz {

inline std::unique_ptr<JsonTerminal> LoadExampleTerminal() {
  std::string error;
  auto terminal = JsonTerminal::Load(KORVEX_SOURCE_DIR "/examples/terminal.json", error);
  if (!terminal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  return terminal;
}

}  // namespace korvex::fuzz
