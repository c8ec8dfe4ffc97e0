// Reading and checking the JSON form of a terminal configuration.
#pragma once

#include <string>

#include "korvex/json_terminal.h"

namespace korvex {

// Parses text into config. On failure returns false with error
// "<source>: <field>: <what is wrong>" (or the parser's position for text that
// is not JSON); never throws.
bool ReadTerminalConfig(const std::string& text, const std::string& source,
                        JsonTerminal::Config& config, std::string& error);

}  // namespace korvex
