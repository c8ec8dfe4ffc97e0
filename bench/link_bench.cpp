// Throughput of the receive path and of the block checks: how many frames a
// control cuts, checks, acknowledges and dispatches per second, and the cost
// of a checksum over one download block.
#include <benchmark/benchmark.h>

#include <string>

#include "harness/quiet_link.h"
#include "hash/secure_hash.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace {

std::string WithLrc(const std::string& text) {
  std::string f = korvex::Framed(text);
  return f + static_cast<char>(korvex::CalculateLRC(f));
}

// A burst of unknown-code frames: each is cut out, checked, ACKed and
// dispatched to the code-11 report.
void BM_ReceiveFrames(benchmark::State& state) {
  korvex::testing::QuietLink link;
  std::string burst;
  for (int i = 0; i < state.range(0); ++i) burst += WithLrc("X99" + std::to_string(i));
  for (auto _ : state) {
    link.pad.connection->Send(burst);
    link.host.RunFor(2);
    link.host.ClearWireLog();
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
