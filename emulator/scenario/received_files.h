// The files the loader received, written out to a folder by the executable so
// that an integrator can compare them with what the control sent. A file is
// written once per arrival: again only when a new download replaces it.
#pragma once

#include <map>
#include <string>

#include "emulator/core/pin_pad.h"

namespace korvex::emu {

class ReceivedFilesWriter {
 public:
  explicit ReceivedFilesWriter(std::string dir) : dir_(std::move(dir)) {}
  // Writes every file whose bytes are all held (files known only from a saved
  // state have none) and that changed since it was last written. Returns the
  // number written; throws std::runtime_error naming a file it cannot write.
  size_t Write(const std::map<std::string, StoredFile>& files);

 private:
  std::string dir_;
  std::map<std::string, size_t> written_;  // name -> fingerprint of what was written
};

}  // namespace korvex::emu
