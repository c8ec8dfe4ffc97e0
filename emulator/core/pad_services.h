// What a message handler may do to the pad and its line.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "emulator/core/download_transfer.h"
#include "emulator/core/emulator_config.h"
#include "emulator/core/pin_pad.h"
#include "emulator/core/update_progress.h"

namespace korvex::emu {

class PadServices {
 public:
  virtual ~PadServices() = default;

  // Microseconds, as the adapter gave them.
  virtual int64_t NowUs() const = 0;
  virtual PinPad& Pad() = 0;
  virtual const EmulatorConfig& Config() const = 0;
  // Progress of the table update on the current connection.
  virtual UpdateProgress& Progress() = 0;
  // The file transfer of download mode on the current connection.
  virtual DownloadTransfer& Transfer() = 0;
  // Queues a frame to the control; it waits for the control's ACK in turn.
  virtual void Reply(const std::string& text) = 0;
  // A frame the pad sends on its own (the card reader's track message). It
  // waits until no request is being handled and the frames before it were
  // ACKed; once the control has ACKed it, the control's further bare ACKs
  // are answered with an ACK each until its next request.
  virtual void Announce(const std::string& text) = 0;
  // Pad-level timer: it survives the connection.
  virtual uint64_t AfterUs(int64_t delayUs, std::function<void()> action) = 0;
  virtual void Cancel(uint64_t id) = 0;
  virtual void AddViolation(const std::string& message, const std::string& description) = 0;
  virtual void Note(std::string_view text) = 0;
};

}  // namespace korvex::emu
