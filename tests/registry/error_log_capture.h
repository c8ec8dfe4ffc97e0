// Sends the error log to a temporary file for the life of the object.
#pragma once

#include <string>

#include "harness/temp_dir.h"
#include "support/std_lib.h"

namespace korvex::testing {

class ErrorLogCapture {
 public:
  ErrorLogCapture() { SetErrorLogPath(dir_.File("korvex.err")); }
  ~ErrorLogCapture() { SetErrorLogPath(""); }
  std::string Path() const { return dir_.File("korvex.err"); }
  // Everything logged so far.
  std::string Text() const { return dir_.Read("korvex.err"); }

 private:
  TempDir dir_;
};

}  // namespace korvex::testing
