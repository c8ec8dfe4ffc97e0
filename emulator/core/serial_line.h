// One direction of the pad's serial line between the router and the pad.
// Bytes written at a time become pieces due at a time (microseconds): at
// once, or paced at the line's baud rate (10 bits per byte: start, 8 data,
// stop) so that a byte is due exactly when its last bit has crossed. Pieces
// may also be cut into chunks with a gap between them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvex::emu {

// Bytes sent at one rate and read at another come out as framing garbage.
// The mapping is fixed, so a run is repeatable, and every garbage byte has its
// high bit set, so it never reads as a control character.
char Garble(char byte);

// Microseconds one byte occupies the line at the given rate.
int64_t ByteTimeUs(int baud);

struct LinePiece {
  int64_t dueUs = 0;
  std::string bytes;
  int64_t writtenUs = 0;  // when it was handed to the line
};

// What paced lines carried: their bytes, the time those bytes need at the
// line's rate (10 bits each), and the time the line was in use for them, from
// each write to the moment its last bit had crossed.
struct LineUse {
  uint64_t bytes = 0;
  double floorUs = 0;
  int64_t busyUs = 0;
  double Ratio() const { return floorUs > 0 ? double(busyUs) / floorUs : 0; }
};

class SerialLine {
 public:
  struct Options {
    bool pace = false;
    int baud = 19200;
    size_t chunkSize = 0;  // 0: pieces are not cut
    int64_t chunkGapUs = 0;
    LineUse* use = nullptr;  // where a paced line counts what it carried
  };

  void SetOptions(const Options& options) { options_ = options; }
  const Options& GetOptions() const { return options_; }
  void Write(const std::string& bytes, int64_t nowUs);
  // Every piece due by nowUs, in order.
  std::vector<std::string> TakeDue(int64_t nowUs);
  // The first piece, if it is due by nowUs.
  std::optional<std::string> TakeNext(int64_t nowUs);
  std::optional<int64_t> NextDue() const;
  bool Empty() const { return head_ == pieces_.size(); }
  // Bytes written and not yet taken.
  size_t Bytes() const { return bytes_; }
  void Clear();

 private:
  void Push(int64_t dueUs, const std::string& bytes, int64_t writtenUs);
  void Count(const LinePiece& piece);

  Options options_;
  // Pieces from head_ on are still on the line; the vector keeps its room
  // from one connection to the next instead of a deque's blocks coming and
  // going.
  std::vector<LinePiece> pieces_;
  size_t head_ = 0;
  size_t bytes_ = 0;
  int64_t busyUntilUs_ = 0;     // when the last paced byte finishes
  int64_t lastDueUs_ = 0;       // pieces never overtake one another
  int64_t countedUntilUs_ = 0;  // line use is counted up to here
};

}  // namespace korvex::emu
