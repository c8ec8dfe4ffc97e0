// Requests that find out which PIN-pad application runs and switch between
// the payment application (EMVApp) and the loader (LoaderApp).
#include "control/korvex_impl.h"

namespace korvex {

void Korvex::Impl::DetectEMVApp(int16_t State) {
  RaiseDebugEvent(10, "Rakenduse EMVApp tuvastamine...");
  EMVAppDetection = true;
  SendRequest(State, "P01");
}

void Korvex::Impl::DetectLoaderApp(int16_t State) {
  RaiseDebugEvent(10, "Rakenduse LoaderApp tuvastamine...");
  SendRequest(State, "L00");
}

void Korvex::Impl::StartLoaderApp() {
  RaiseDebugEvent(10, "K\xE4ivitan LoaderApp...");
  SendRequest(STATE_LOADER_START, "I07");
}

void Korvex::Impl::StartDownloadMode() {
  RaiseDebugEvent(10, "K\xE4ivitan \"Download mode\"");
  SendRequest(STATE_DOWNLOAD_MODE, "L0202");
}

void Korvex::Impl::StartEMVApp(int16_t State) {
  RaiseDebugEvent(10, "K\xE4ivitan EMVApp...");
  SendRequest(State, "L0302");
}

void Korvex::Impl::SendD03Request() { SendRequest(STATE_D03_SENT, "D0303001"); }

}  // namespace korvex
