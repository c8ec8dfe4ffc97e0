#include "emulator/scenario/received_files.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace korvex::emu {
namespace {

size_t Fingerprint(const StoredFile& f) {
  return std::hash<std::string>{}(f.timestamp + f.type + f.data);
}

}  // namespace

size_t ReceivedFilesWriter::Write(const std::map<std::string, StoredFile>& files) {
  namespace fs = std::filesystem;
  size_t count = 0;
  for (const auto& [name, file] : files) {
    if (file.data.size() != file.size) continue;
    const size_t print = Fingerprint(file);
    const auto w = written_.find(name);
    if (w != written_.end() && w->second == print) continue;
    std::error_code ec;
    fs::create_directories(dir_, ec);
    const fs::path path = fs::path(dir_) / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(file.data.data(), std::streamsize(file.data.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
    written_[name] = print;
    ++count;
  }
  return count;
}

}  // namespace korvex::emu
