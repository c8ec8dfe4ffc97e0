// Creating and destroying a control through the C interface, and what the
// control holds for its C caller: the terminal object and the progress
// callback.
#include "capi/capi_guard.h"
#include "capi/capi_handles.h"

using korvex::capi::Failure;
using korvex::capi::Guarded;
using korvex::capi::Need;
using korvex::capi::Put;
using korvex::capi::Text;

extern "C" {

int korvex_create(korvex_host* host, korvex_interface_event_fn on_interface_event,
                  korvex_debug_event_fn on_debug_event, void* user, korvex_control** control) {
  return Guarded([&] {
    korvex_host& h = Need(host, "host");
    korvex_control*& out = Need(control, "control");
    out = new korvex_control(h.host, on_interface_event, on_debug_event, user);
  });
}

void korvex_destroy(korvex_control* control) {
  Guarded([&] { delete control; });
}

int korvex_setTerminalObject(korvex_control* control, const char* path, size_t path_length,
                             int16_t* result) {
  return Guarded([&] {
    korvex_control& c = Need(control, "control");
    std::string error;
    auto terminal = korvex::JsonTerminal::Load(Text(path, path_length, "path"), error);
    if (!terminal) throw Failure(KORVEX_E_FILE, error);
    const int16_t bound = c.control.setTerminalObject(*terminal);
    // A refused terminal is dropped; the control keeps the one it has.
    if (bound == 0) c.terminal = std::move(terminal);
    Put(result, bound);
  });
}

int korvex_setDownloadObserver(korvex_control* control, korvex_download_progress_fn progress,
                               void* user) {
  return Guarded([&] {
    korvex_control& c = Need(control, "control");
    auto observer = progress != nullptr
                        ? std::make_unique<korvex::capi::CallbackProgress>(progress, user)
                        : nullptr;
    c.control.setDownloadObserver(observer.get());
    c.progress = std::move(observer);
  });
}

}  // extern "C"
