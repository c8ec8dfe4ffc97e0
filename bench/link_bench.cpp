// Throughput of the receive path and of the block checks: how many frames a
// control cuts, checks, acknowledges and dispatches per second, and the cost
// of a checksum over one download block.
//
// Every allocation of the process is counted, so the receive benchmark can
// say how many a frame costs once its buffers have grown.
#include <benchmark/benchmark.h>
#include <time.h>

#include <string>

#include "allocation_count.h"
#include "burst_host.h"
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

// Targets of the control's own receive path, per frame, at every burst size.
constexpr double kTargetNsPerFrame = 250;
constexpr double kTargetAllocationsPerFrame = 0;

double ThreadCpuNs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// A burst of unknown-code frames in one arrival, against a host that costs
// nothing: the control's own work per frame (cut, check, ACK, dispatch to the
// code-11 report) and the allocations it makes once warmed up. The events go
// to a sink that takes every trace (each text built), or to one that takes
// none, as a host of many pads would run.
void ReceiveBurst(benchmark::State& state, bool traces) {
  const auto frames = static_cast<uint64_t>(state.range(0));
  korvex::bench::BurstHost host;
  korvex::testing::NullEvents events;
  events.traces = traces;
  korvex::Korvex::Impl control(host, events);
  std::string burst;
  for (uint64_t i = 0; i < frames; ++i) burst += WithLrc("X99" + std::to_string(i));
  auto deliver = [&] {
    host.pending = burst;
    control.OnDataArrival(static_cast<int32_t>(burst.size()));
  };
  deliver();  // warm-up: buffers grow to their working size
  const uint64_t allocationsBefore = korvex::bench::AllocationCount();
  const double cpuBefore = ThreadCpuNs();
  for (auto _ : state) deliver();
  const double handled = double(state.iterations()) * double(frames);
  const double nsPerFrame = (ThreadCpuNs() - cpuBefore) / handled;
  const double allocationsPerFrame =
      double(korvex::bench::AllocationCount() - allocationsBefore) / handled;
  state.SetItemsProcessed(static_cast<int64_t>(handled));
  state.counters["ns_per_frame"] = nsPerFrame;
  state.counters["allocs_per_frame"] = allocationsPerFrame;
  const bool met =
      nsPerFrame <= kTargetNsPerFrame && allocationsPerFrame <= kTargetAllocationsPerFrame;
  state.SetLabel(met ? "PASS (<= 250 ns, 0 allocations per frame)"
                     : "MISS (target <= 250 ns, 0 allocations per frame)");
  if (host.bytesWritten == 0) state.SkipWithError("no frame was acknowledged");
}
void BM_ReceiveBurst(benchmark::State& state) {
  ReceiveBurst(state, true);
}
BENCHMARK(BM_ReceiveBurst)->Arg(1)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);
void BM_ReceiveBurstUntraced(benchmark::State& state) {
  ReceiveBurst(state, false);
}
BENCHMARK(BM_ReceiveBurstUntraced)->Arg(1)->Arg(1000);

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
