#include "cli/local_date_time.h"

#include <ctime>

#include "support/windows_compat.h"

namespace korvex::cli {

std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%y%m%d%H%M%S", &local);
  return text;
}

}  // namespace korvex::cli
