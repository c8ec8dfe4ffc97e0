// Configuration files come from installers and people: a registry export or a
// terminal file of any shape must be refused with a message, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/reg_file_parser.h"
#include "korvex/json_terminal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  korvex::MemoryRegistry registry;
  std::string error;
  if (!korvex::ParseRegExport(bytes, "fuzz.reg", registry, error) && error.empty())
    __builtin_trap();

  error.clear();
  auto terminal = korvex::JsonTerminal::FromText(bytes, "fuzz.json", error);
  if (!terminal && error.empty()) __builtin_trap();
  if (terminal) {
    // Every answer of a terminal that loaded must be readable.
    for (int16_t k = 0; k <= terminal->getERKCount() + 1; ++k) {
      std::string value;
      terminal->getERKField(k, 14, value);
    }
    std::string ref;
    terminal->GetTableReferenceNumber(4, ref);
  }
  return 0;
}
