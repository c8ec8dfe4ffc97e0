// Every allocation the benchmark process makes is counted: operator new is
// replaced in allocation_count.cpp (a file of its own, so that the compiler
// never sees a new paired with the free behind it).
#pragma once

#include <cstdint>

namespace korvex::bench {

uint64_t AllocationCount();

}  // namespace korvex::bench
