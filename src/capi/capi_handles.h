// What the C interface's opaque handles hold.
#pragma once

#include <memory>
#include <string>

#include "korvex/asio_host.h"
#include "korvex/download_observer.h"
#include "korvex/events.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/korvex_c.h"

namespace korvex::capi {

// The control's events, passed on to the caller's functions.
class CallbackEvents : public KorvexEvents {
 public:
  CallbackEvents(korvex_interface_event_fn onInterface, korvex_debug_event_fn onDebug, void* user)
      : onInterface_(onInterface), onDebug_(onDebug), user_(user) {}
  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override {
    if (onInterface_ != nullptr) onInterface_(user_, EventType, Code, Text.c_str(), Text.size());
  }
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override {
    if (onDebug_ != nullptr) onDebug_(user_, DebugLevel, Text.c_str(), Text.size());
  }
  bool WantsDebugEvents() const override { return onDebug_ != nullptr; }

 private:
  korvex_interface_event_fn onInterface_;
  korvex_debug_event_fn onDebug_;
  void* user_;
};

class CallbackProgress : public DownloadObserver {
 public:
  CallbackProgress(korvex_download_progress_fn progress, void* user)
      : progress_(progress), user_(user) {}
  void OnDownloadProgress(const std::string& FileName, int64_t BytesSent,
                          int64_t FileSize) override {
    progress_(user_, FileName.c_str(), FileName.size(), BytesSent, FileSize);
  }

 private:
  korvex_download_progress_fn progress_;
  void* user_;
};

}  // namespace korvex::capi

struct korvex_host {
  korvex::AsioHost host;
};

struct korvex_control {
  korvex_control(korvex::Host& host, korvex_interface_event_fn onInterface,
                 korvex_debug_event_fn onDebug, void* user)
      : events(onInterface, onDebug, user), control(host, events) {}

  korvex::capi::CallbackEvents events;
  std::unique_ptr<korvex::capi::CallbackProgress> progress;
  // The bound terminal configuration, which the control refers to.
  std::unique_ptr<korvex::JsonTerminal> terminal;
  // Last, so that it goes first: it refers to everything above.
  korvex::Korvex control;
};
