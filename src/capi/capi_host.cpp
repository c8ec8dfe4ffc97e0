// The host functions of the C interface: an AsioHost that the caller runs or
// polls on its own thread.
#include <chrono>

#include "capi/capi_guard.h"
#include "capi/capi_handles.h"
#include "korvex/reg_file_registry.h"

using korvex::capi::Failure;
using korvex::capi::Guarded;
using korvex::capi::Need;

namespace {

std::chrono::milliseconds Duration(int64_t milliseconds, const char* name) {
  if (milliseconds < 0) {
    throw Failure(KORVEX_E_ARGUMENT,
                  std::string(name) + " is negative: " + std::to_string(milliseconds));
  }
  return std::chrono::milliseconds(milliseconds);
}

void PutFlag(int* flag, bool value) {
  if (flag != nullptr) *flag = value ? 1 : 0;
}

}  // namespace

extern "C" {

int korvex_host_create(korvex_host** host) {
  return Guarded([&] {
    korvex_host*& out = Need(host, "host");
    out = new korvex_host;
  });
}

void korvex_host_destroy(korvex_host* host) {
  Guarded([&] { delete host; });
}

int korvex_host_load_registry(korvex_host* host, const char* path, size_t path_length) {
  return Guarded([&] {
    korvex_host& h = Need(host, "host");
    auto registry =
        std::make_unique<korvex::RegFileRegistry>(korvex::capi::Text(path, path_length, "path"));
    if (!registry->Loaded()) throw Failure(KORVEX_E_FILE, registry->Error());
    h.host.SetRegistry(std::move(registry));
  });
}

int korvex_host_run_for(korvex_host* host, int64_t milliseconds) {
  return Guarded([&] { Need(host, "host").host.RunFor(Duration(milliseconds, "milliseconds")); });
}

int korvex_host_run_one(korvex_host* host, int64_t max_wait_ms, int* delivered) {
  return Guarded([&] {
    PutFlag(delivered, Need(host, "host").host.RunOne(Duration(max_wait_ms, "max_wait_ms")));
  });
}

int korvex_host_run_until(korvex_host* host, korvex_done_fn done, void* user,
                          int64_t max_milliseconds, int* done_at_end) {
  return Guarded([&] {
    korvex_host& h = Need(host, "host");
    Need(done, "done");
    const auto limit = Duration(max_milliseconds, "max_milliseconds");
    PutFlag(done_at_end, h.host.RunUntil([&] { return done(user) != 0; }, limit));
  });
}

int korvex_host_poll(korvex_host* host) {
  return Guarded([&] { Need(host, "host").host.DoEvents(); });
}

int korvex_host_stop(korvex_host* host) {
  return Guarded([&] { Need(host, "host").host.Stop(); });
}

int korvex_host_post(korvex_host* host, korvex_task_fn task, void* user) {
  return Guarded([&] {
    korvex_host& h = Need(host, "host");
    Need(task, "task");
    h.host.Post([task, user] { task(user); });
  });
}

}  // extern "C"
