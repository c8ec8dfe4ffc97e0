#include "emulator/core/pad_app.h"

namespace korvex::emu {

std::string AppName(PadApp app) {
  switch (app) {
    case PadApp::Payment: return "payment";
    case PadApp::Loader: return "loader";
    case PadApp::LoaderBooting: return "loader-booting";
    case PadApp::PaymentStarting: return "payment-starting";
    case PadApp::Download: return "download";
  }
  return "?";
}

std::optional<PadApp> AppFromName(const std::string& name) {
  for (PadApp app : {PadApp::Payment, PadApp::Loader, PadApp::LoaderBooting,
                     PadApp::PaymentStarting, PadApp::Download}) {
    if (AppName(app) == name) return app;
  }
  return std::nullopt;
}

bool IsStarting(PadApp app) {
  return app == PadApp::LoaderBooting || app == PadApp::PaymentStarting;
}

int AppBaud(PadApp app) {
  return app == PadApp::Download ? kDownloadBaud : kApplicationBaud;
}

CheckMode AppCheckMode(PadApp app) {
  return app == PadApp::Download ? CheckMode::Crc : CheckMode::Lrc;
}

PadApp SettledApp(PadApp app) {
  switch (app) {
    case PadApp::LoaderBooting:
    case PadApp::Download: return PadApp::Loader;
    case PadApp::PaymentStarting: return PadApp::Payment;
    default: return app;
  }
}

}  // namespace korvex::emu
