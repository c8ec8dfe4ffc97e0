// The C interface as a C caller meets it: refusals with their status and
// text (files that cannot be used among them), byte strings and buffers, and the events
// of a real connection test reaching the callbacks with the caller's pointer.
#include <gtest/gtest.h>

#include <asio/ip/address.hpp>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "capi/capi_handles.h"
#include "emulator/adapters/tcp_server.h"
#include "emulator/core/emulator.h"
#include "harness/temp_dir.h"
#include "korvex/korvex_c.h"

namespace {

std::string LastError() {
  char text[256];
  size_t length = 0;
  EXPECT_EQ(korvex_last_error(text, sizeof text, &length), KORVEX_OK);
  return std::string(text, length);
}

std::string ExampleTerminal() {
  const std::string source = __FILE__;
  return source.substr(0, source.rfind("tests/")) + "examples/terminal.json";
}

struct Handles {
  Handles() {
    EXPECT_EQ(korvex_host_create(&host), KORVEX_OK);
    EXPECT_EQ(korvex_create(host, nullptr, nullptr, nullptr, &pad), KORVEX_OK);
  }
  ~Handles() {
    korvex_destroy(pad);
    korvex_host_destroy(host);
  }
  korvex_host* host = nullptr;
  korvex_control* pad = nullptr;
};

// Each refusal names its argument or file and changes nothing: a terminal file
// that cannot be used leaves the control without one.
TEST(CInterface, RefusesNullHandlesTextsTooSmallBuffersAndUnusableFiles) {
  Handles h;
  korvex::testing::TempDir dir;
  int16_t result = -1;
  const auto never = [](void*) { return 0; };
  const std::string missing = dir.File("missing.json");
  const std::string broken = dir.Write("broken.reg", "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\X\n");
  const std::vector<std::tuple<const char*, std::function<int()>, int, std::string>> cases = {
      {"null control", [&] { return korvex_getState(nullptr, &result); }, KORVEX_E_ARGUMENT,
       "control is NULL"},
      {"null host", [&] { return korvex_host_poll(nullptr); }, KORVEX_E_ARGUMENT, "host is NULL"},
      {"null out-handle", [&] { return korvex_host_create(nullptr); }, KORVEX_E_ARGUMENT,
       "host is NULL"},
      {"text NULL with a length",
       [&] { return korvex_StartTransaction(h.pad, nullptr, 12, 1.0, 978, 0, &result); },
       KORVEX_E_ARGUMENT, "DateTime is NULL with a length of 12"},
      {"null predicate",
       [&] { return korvex_host_run_until(h.host, nullptr, nullptr, 1, nullptr); },
       KORVEX_E_ARGUMENT, "done is NULL"},
      {"negative time", [&] { return korvex_host_run_until(h.host, never, nullptr, -1, nullptr); },
       KORVEX_E_ARGUMENT, "max_milliseconds is negative: -1"},
      {"name does not fit", [&] { return korvex_getName(h.pad, nullptr, 0, nullptr); },
       KORVEX_E_BUFFER, "a buffer of 0 bytes is too small for 5"},
      {"missing terminal file",
       [&] { return korvex_setTerminalObject(h.pad, missing.data(), missing.size(), &result); },
       KORVEX_E_FILE, missing + ": cannot be opened"},
      {"broken registry file",
       [&] { return korvex_host_load_registry(h.host, broken.data(), broken.size()); },
       KORVEX_E_FILE, broken + ":3: unterminated key section"},
  };
  ASSERT_EQ(korvex_setName(h.pad, "P\xE4\0d1", 5), KORVEX_OK);
  for (const auto& [what, call, status, message] : cases) {
    EXPECT_EQ(call(), status) << what;
    EXPECT_EQ(LastError(), message) << what;
  }
  EXPECT_EQ(korvex_PerformConnectionTest(h.pad, 1, &result), KORVEX_OK);
  EXPECT_EQ(result, 1) << "no terminal object may be bound";

  // Byte strings keep every byte, NUL included; a short buffer gets what fits
  // and the full length, and a short buffer for the message leaves it alone.
  char name[8] = "xxxxxxx";
  size_t length = 0;
  EXPECT_EQ(korvex_getName(h.pad, name, 3, &length), KORVEX_E_BUFFER);
  EXPECT_EQ(std::string(name, 4), std::string("P\xE4\0x", 4));
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(korvex_getName(h.pad, name, sizeof name, &length), KORVEX_OK);
  EXPECT_EQ(std::string(name, length + 1), std::string("P\xE4\0d1\0", 6));
  char shortText[4];
  EXPECT_EQ(korvex_last_error(shortText, sizeof shortText, &length), KORVEX_E_BUFFER);
  EXPECT_EQ(LastError(), "a buffer of 3 bytes is too small for 5");

  // A NULL text of length 0 is the empty string; an unknown tag reads "".
  EXPECT_EQ(korvex_setName(h.pad, nullptr, 0), KORVEX_OK);
  EXPECT_EQ(korvex_getTag(h.pad, "NOPE", 4, name, sizeof name, &length), KORVEX_OK);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(korvex_StartTransaction(h.pad, "2612", 4, 1.0, 978, 0, &result), KORVEX_OK);
  EXPECT_EQ(result, 7);
}

struct Seen {
  std::vector<std::tuple<int32_t, int32_t, std::string>> interfaces;
  size_t debugTexts = 0;
  std::atomic<bool> posted{false};
};

void OnInterface(void* user, int32_t type, int32_t code, const char* text, size_t length) {
  EXPECT_EQ(text[length], '\0');
  static_cast<Seen*>(user)->interfaces.emplace_back(type, code, std::string(text, length));
}

void OnDebug(void* user, int16_t, const char*, size_t) {
  ++static_cast<Seen*>(user)->debugTexts;
}

// A host with the emulated pad listening on a free loopback port, and a
// control whose events go to `seen`. The server goes before the host whose
// loop it runs on.
struct PadRig {
  PadRig() {
    EXPECT_EQ(korvex_host_create(&host), KORVEX_OK);
    server = std::make_unique<korvex::emu::TcpServer>(
        host->host.Context(), pinpad,
        asio::ip::tcp::endpoint{asio::ip::make_address("127.0.0.1"), 0});
    server->Start();
    EXPECT_EQ(korvex_create(host, OnInterface, OnDebug, &seen, &pad), KORVEX_OK);
  }
  ~PadRig() {
    korvex_destroy(pad);
    server->Stop();
    korvex_host_run_for(host, 10);  // lets the closed sockets' handlers finish
    server.reset();
    korvex_host_destroy(host);
  }
  korvex_host* host = nullptr;
  korvex::emu::Emulator pinpad;
  std::unique_ptr<korvex::emu::TcpServer> server;
  Seen seen;
  korvex_control* pad = nullptr;
};

TEST(CInterface, AConnectionTestRaisesItsEventsThroughTheCallbacks) {
  PadRig rig;
  korvex::testing::TempDir dir;
  const std::string reg =
      dir.Write("pads.reg",
                "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Shop\\PinPads\\P1]\n"
                "\"RouterHost\"=\"127.0.0.1\"\n\"RouterPort\"=\"" +
                    std::to_string(rig.server->LocalEndpoint().port()) + "\"\n");
  ASSERT_EQ(korvex_host_load_registry(rig.host, reg.data(), reg.size()), KORVEX_OK) << LastError();

  korvex_control* pad = rig.pad;
  int16_t result = -1;
  const std::string terminal = ExampleTerminal();
  ASSERT_EQ(korvex_setName(pad, "P1", 2), KORVEX_OK);
  ASSERT_EQ(korvex_setEMVRegistryKey(pad, "Software\\Shop\\", 14), KORVEX_OK);
  ASSERT_EQ(korvex_InitFromReg(pad, &result), KORVEX_OK);
  ASSERT_EQ(korvex_setTerminalObject(pad, terminal.data(), terminal.size(), &result), KORVEX_OK);
  // A second terminal object is refused; the connection test runs on the first.
  ASSERT_EQ(korvex_setTerminalObject(pad, terminal.data(), terminal.size(), &result), KORVEX_OK);
  EXPECT_EQ(result, 1);
  ASSERT_EQ(korvex_PerformConnectionTest(pad, 1, &result), KORVEX_OK);
  ASSERT_EQ(result, 0);
  const auto answered = [](void* user) {
    return static_cast<Seen*>(user)->interfaces.empty() ? 0 : 1;
  };
  int held = 0;
  ASSERT_EQ(korvex_host_run_until(rig.host, answered, &rig.seen, 20000, &held), KORVEX_OK);
  EXPECT_EQ(rig.seen.interfaces, (decltype(rig.seen.interfaces){{0, 1107, "EmvApp is ready"}}));
  EXPECT_GT(rig.seen.debugTexts, 0u);

  // Work posted from another thread runs on the loop.
  std::thread other([&] {
    korvex_host_post(
        rig.host, [](void* user) { static_cast<Seen*>(user)->posted = true; }, &rig.seen);
  });
  other.join();
  const auto posted = [](void* user) { return static_cast<Seen*>(user)->posted ? 1 : 0; };
  ASSERT_EQ(korvex_host_run_until(rig.host, posted, &rig.seen, 5000, &held), KORVEX_OK);
  EXPECT_EQ(held, 1);
}

}  // namespace
