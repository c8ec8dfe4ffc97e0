// Sends the error log to a temporary file for the life of the object.
#pragma once

#include "harness/temp_dir.h"
#include "support/error_log.h"

namespace korvex::testing {

struct ErrorLogCapture {
  ErrorLogCapture() { SetErrorLogPath(dir.File("korvex.err")); }
  ~ErrorLogCapture() { SetErrorLogPath(""); }
  std::string Text() const { return dir.Read("korvex.err"); }  // everything logged so far
  TempDir dir;
};

}  // namespace korvex::testing
