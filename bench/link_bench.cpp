// Throughput of the receive path and of the block checks: how many frames a
// control cuts, checks, acknowledges and dispatches per second, and the cost
// of a checksum over one download block.
#include <benchmark/benchmark.h>

#include <string>

#include "control/korvex_impl.h"
#include "hash/secure_hash.h"
#include "korvex/sim_host.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace {

class NullEvents : public korvex::KorvexEvents {
 public:
  void InterfaceEvent(int32_t&, int32_t&, std::string&) override {}
  void DebugEvent(int16_t&, std::string&) override {}
};

class SilentPad : public korvex::SimPeer {
 public:
  void OnPeerConnected(korvex::SimConnection& c) override { connection = &c; }
  void OnPeerData(korvex::SimConnection&, const std::string&) override {}
  void OnPeerClosed(korvex::SimConnection&) override {}
  korvex::SimConnection* connection = nullptr;
};

std::string WithLrc(const std::string& text) {
  std::string f = korvex::Framed(text);
  return f + static_cast<char>(korvex::CalculateLRC(f));
}

// A burst of unknown-code frames: each is cut out, checked, ACKed and
// dispatched to the code-11 report.
void BM_ReceiveFrames(benchmark::State& state) {
  korvex::SimHost host;
  SilentPad pad;
  host.Listen("router", 1, pad);
  NullEvents events;
  korvex::Korvex::Impl control(host, events);
  control.Winsock1->SetRemoteHost("router");
  control.Winsock1->SetRemotePort(1);
  control.ConnectRouter(korvex::STATE_CONNECT_TEST);  // a connection the control asked for
  host.RunFor(5);
  std::string burst;
  for (int i = 0; i < state.range(0); ++i) burst += WithLrc("X99" + std::to_string(i));
  for (auto _ : state) {
    pad.connection->Send(burst);
    host.RunFor(2);
    host.ClearWireLog();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReceiveFrames)->Arg(1)->Arg(64);

void BM_Crc16Block(benchmark::State& state) {
  const std::string block(248, '\x5A');
  for (auto _ : state) benchmark::DoNotOptimize(korvex::CalculateCRC16(block));
  state.SetBytesProcessed(state.iterations() * 248);
}
BENCHMARK(BM_Crc16Block);

void BM_Sha1KeyIds(benchmark::State& state) {
  std::string ids;
  for (int i = 0; i < 32; ++i) ids += "A000000003_" + std::to_string(i);
  for (auto _ : state) benchmark::DoNotOptimize(korvex::SHA1Hex(ids));
}
BENCHMARK(BM_Sha1KeyIds);

void BM_AsciiToHex(benchmark::State& state) {
  const std::string data(256, '\x9F');
  for (auto _ : state) benchmark::DoNotOptimize(korvex::AsciiToHex(data));
}
BENCHMARK(BM_AsciiToHex);

}  // namespace
