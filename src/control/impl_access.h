// The control's implementation behind a public Korvex, for the tools and tests
// built inside this tree. Programs embedding the library have only the public
// methods.
#pragma once

#include "control/korvex_impl.h"
#include "korvex/korvex.h"

namespace korvex {

class ImplAccess {
 public:
  static Korvex::Impl& Of(Korvex& control) { return *control.impl_; }
};

}  // namespace korvex
