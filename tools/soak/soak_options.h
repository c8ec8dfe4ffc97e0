// What a soak run does: how many purchases and downloads, and how bad the
// simulated line between the control and the PIN pad is.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::soak {

struct SoakOptions {
  int purchases = 100;
  int downloads = 1;
  double corruption = 0.01;  // probability that a byte crosses the line corrupted
  double closeRate = 0.02;   // probability that the router closes the line during a run
  int maxChunk = 16;         // writes are cut into random pieces of 1 to this many bytes
  int64_t jitterMs = 4;      // each write takes 1 ms plus 0 to this many more
  uint32_t seed = 1;
  // A step that brings no event for this long (virtual time) while the control
  // has no timer running counts as hung; so does one that has not ended after
  // kStepCapBounds such bounds.
  int64_t hangBoundMs = 120000;
  // The folder holding Constant\ for the downloads; "" for the sample folder.
  std::string downloadFolder;
  // Lists every wrong value instead of the first few, and each run's spoilt
  // frames that passed their check byte.
  bool verbose = false;
};

}  // namespace korvex::soak
