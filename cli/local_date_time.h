// The host's local date and time as StartTransaction takes it.
#pragma once

#include <string>

namespace korvex::cli {

// YYMMDDhhmmss, local time.
std::string LocalDateTime();

}  // namespace korvex::cli
