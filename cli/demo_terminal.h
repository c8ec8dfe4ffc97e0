// The terminal configuration the demo runs with: examples/terminal.json,
// built into the tool so that the demo works from any folder.
#pragma once

#include <string>

namespace korvex::cli {

const std::string& DemoTerminalJson();

}  // namespace korvex::cli
