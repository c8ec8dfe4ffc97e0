// One connection to the pad: the router's command at its head, the line rate
// it set, both directions of the line, the frame parser, the pad's frames
// waiting for the control's ACK, the table update's progress and the file
// transfer of download mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/core/download_transfer.h"
#include "emulator/core/frame_parser.h"
#include "emulator/core/router_front.h"
#include "emulator/core/serial_line.h"
#include "emulator/core/update_progress.h"

namespace korvex::emu {

struct ConnectOptions {
  // A TCP connection through the router starts with the router's command; a
  // direct serial line has none and runs at `baud`.
  bool routerFront = true;
  int baud = 19200;
};

// A pad frame waiting for its turn.
struct OutgoingFrame {
  std::string text;
  bool announced = false;  // sent on the pad's own account (Announce)
};

struct Session {
  uint64_t id = 0;
  ConnectOptions options;
  RouterFront router;
  int lineBaud = 0;  // 0 until the router command is read
  bool garbleReported = false;
  FrameParser parser;
  SerialLine in;   // control -> pad
  SerialLine out;  // pad -> control
  UpdateProgress progress;
  DownloadTransfer transfer;

  // Both at most Emulator::kMaxQueuedFrames long, first out at the front.
  std::vector<OutgoingFrame> queue;        // frames waiting for their turn
  std::optional<OutgoingFrame> pending;    // frame sent, its ACK awaited
  std::vector<std::string> announcements;  // held while a request is handled
  int handling = 0;                        // requests ACKed, not yet handled
  bool echoAcks = false;                   // an announced frame was ACKed; answer bare ACKs
  int resends = 0;
  uint64_t ackTimer = 0;
  bool closeRequested = false;
};

}  // namespace korvex::emu
