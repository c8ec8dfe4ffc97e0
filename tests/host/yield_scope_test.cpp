// A control's yield delivers its own socket and timer events (and the loop's
// unowned work) but leaves other controls' events queued for the loop, in
// order; so handlers of many controls on one thread never nest in each other.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/ip/address.hpp>
#include <memory>
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "emulator/adapters/sim_pinpad.h"
#include "emulator/adapters/tcp_server.h"
#include "host/asio_event_queue.h"
#include "host/nesting_probe.h"
#include "init/init_rig.h"
#include "korvex/asio_host.h"
#include "korvex/sim_host.h"

namespace korvex::testing {
namespace {

using Log = std::vector<std::string>;

TEST(YieldScope, OwnersYieldTakesItsEventsAheadAndTheRestKeepTheirOrder) {
  // AsioHost's queue: A's yield takes A1 and A2 (A3, queued meanwhile,
  // waits); the loop then delivers B1, the posted W, B2, A3, skipping the
  // arrival-order places of what the yield took.
  AsioEventQueue queue;
  Log log;
  const int a = 0, b = 0;
  auto push = [&](const void* owner, const std::string& name) {
    queue.Push(owner, [&log, name] { log.push_back(name); });
  };
  push(&a, "A1");
  push(&b, "B1");
  push(nullptr, "W");
  push(&a, "A2");
  push(&b, "B2");
  EXPECT_EQ(queue.SizeOf(&a), 2u);
  for (size_t n = queue.SizeOf(&a); n > 0; --n) ASSERT_TRUE(queue.DeliverOneOf(&a));
  push(&a, "A3");
  EXPECT_EQ(queue.Size(), 4u);
  while (queue.DeliverOne()) {
  }
  EXPECT_EQ(log, (Log{"A1", "A2", "B1", "W", "B2", "A3"}));
  EXPECT_FALSE(queue.DeliverOneOf(&a));
  EXPECT_TRUE(queue.Empty());
  // Emptied queues are reused for other owners: B's new queue and A's must
  // still each hold only their own events.
  push(&b, "B3");
  push(&a, "A4");
  push(&b, "B4");
  EXPECT_EQ(queue.SizeOf(&a), 1u);
  ASSERT_TRUE(queue.DeliverOneOf(&b));
  while (queue.DeliverOne()) {
  }
  EXPECT_EQ(log, (Log{"A1", "A2", "B1", "W", "B2", "A3", "B3", "A4", "B4"}));

  // SimHost: at 10 ms A's first tick yields; A's second tick and the world's
  // call run inside it, B's waits and runs after, at the same virtual time.
  struct Owner : TimerEvents {
    Owner(SimHost& h, Log& l, std::string n) : host(&h), log(&l), name(std::move(n)) {}
    void OnTimer() override {
      if (yielding) return log->push_back(name + "'");
      log->push_back(name + "<");
      yielding = true;
      host->DoEventsOf(Host::OwnerOf(*this));
      log->push_back(name + "@" + std::to_string(host->NowMs()) + ">");
    }
    SimHost* host;
    Log* log;
    std::string name;
    bool yielding = false;
  };
  SimHost sim;
  log.clear();
  Owner ownerA(sim, log, "A"), ownerB(sim, log, "B");
  std::vector<std::unique_ptr<Timer>> timers;
  auto arm = [&](Owner& owner) {
    timers.push_back(sim.CreateTimer(owner));
    timers.back()->SetInterval(10);
    timers.back()->SetEnabled(true);
  };
  arm(ownerA);
  arm(ownerB);
  sim.Schedule(10, [&] { log.push_back("W"); });
  arm(ownerA);
  sim.RunFor(10);
  EXPECT_EQ(log, (Log{"A<", "W", "A'", "A@10>", "B<", "B@10>"}));
}

// Counts what each control raises; only errors matter here.
struct Outcome : KorvexEvents {
  void InterfaceEvent(int32_t& type, int32_t&, std::string&) override { errors += type != 0; }
  void DebugEvent(int16_t&, std::string&) override {}
  int errors = 0;
};

// N controls, each with its own pad at port base + i, all started at once.
struct Fleet {
  Fleet(Host& host, int n, const std::string& routerHost, const std::vector<int32_t>& ports) {
    for (int i = 0; i < n; ++i) {
      outcomes.push_back(std::make_unique<Outcome>());
      controls.push_back(std::make_unique<Korvex::Impl>(host, *outcomes.back()));
      controls.back()->Winsock1->SetRemoteHost(routerHost);
      controls.back()->Winsock1->SetRemotePort(ports[i]);
    }
  }
  void ConnectAll() {
    for (auto& c : controls) {
      ASSERT_EQ(c->setTerminalObject(terminal), 0);
      ASSERT_EQ(c->PerformConnectionTest(1), 0);
    }
  }
  bool AllIn(int16_t state) const {
    return std::ranges::all_of(controls, [&](const auto& c) { return c->fState == state; });
  }
  int Errors() const {
    int errors = 0;
    for (const auto& o : outcomes) errors += o->errors;
    return errors;
  }

  JsonTerminal terminal{ExampleTerminal()};
  std::vector<std::unique_ptr<Outcome>> outcomes;
  std::vector<std::unique_ptr<Korvex::Impl>> controls;
};

// The deepest nesting of handlers in a run of n controls (connection test and
// table update on SimHost, connection test on AsioHost over loopback).
struct Depth {
  int all, own;
};

Depth SimRun(int n) {
  SimHost sim;
  NestingProbe probe(sim);
  std::vector<std::unique_ptr<emu::SimPinPad>> pads;
  std::vector<int32_t> ports;
  for (int i = 0; i < n; ++i) {
    pads.push_back(std::make_unique<emu::SimPinPad>(sim, emu::EmulatorConfig{}, StalePad()));
    ports.push_back(4001 + i);
    pads.back()->Listen("router", ports.back());
  }
  Fleet fleet(probe, n, "router", ports);
  fleet.ConnectAll();
  EXPECT_TRUE(sim.RunUntil([&] { return fleet.AllIn(STATE_EMVAPP_READY); }, 20000));
  for (auto& c : fleet.controls) EXPECT_EQ(c->InitTransaction(), 0);
  EXPECT_TRUE(sim.RunUntil([&] { return fleet.AllIn(STATE_INIT_DONE); }, 60000));
  EXPECT_EQ(fleet.Errors(), 0);
  for (auto& p : pads) EXPECT_TRUE(p->Core().Violations().empty()) << p->Core().ViolationSummary();
  return {probe.maxDepth, probe.maxOwnDepth};
}

Depth AsioRun(int n) {
  AsioHost asio;
  NestingProbe probe(asio);
  std::vector<std::unique_ptr<emu::Emulator>> cores;
  std::vector<std::unique_ptr<emu::TcpServer>> servers;
  std::vector<int32_t> ports;
  for (int i = 0; i < n; ++i) {
    cores.push_back(std::make_unique<emu::Emulator>(emu::EmulatorConfig{}, StalePad()));
    servers.push_back(std::make_unique<emu::TcpServer>(
        asio.Context(), *cores.back(),
        asio::ip::tcp::endpoint{asio::ip::make_address("127.0.0.1"), 0}));
    servers.back()->Start();
    ports.push_back(servers.back()->LocalEndpoint().port());
  }
  Fleet fleet(probe, n, "127.0.0.1", ports);
  fleet.ConnectAll();
  EXPECT_TRUE(
      asio.RunUntil([&] { return fleet.AllIn(STATE_EMVAPP_READY); }, std::chrono::seconds(20)));
  EXPECT_EQ(fleet.Errors(), 0);
  for (auto& c : cores) EXPECT_TRUE(c->Violations().empty()) << c->ViolationSummary();
  return {probe.maxDepth, probe.maxOwnDepth};
}

TEST(YieldScope, HandlerNestingDoesNotGrowWithTheNumberOfControls) {
  const Depth simOne = SimRun(1), simMany = SimRun(200);
  EXPECT_EQ(simMany.all, simOne.all);
  EXPECT_EQ(simMany.own, simMany.all);

  const Depth asioOne = AsioRun(1), asioMany = AsioRun(200);
  EXPECT_EQ(asioMany.all, asioOne.all);
  EXPECT_EQ(asioMany.own, asioMany.all);
}

}  // namespace
}  // namespace korvex::testing
