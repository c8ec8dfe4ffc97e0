// A connection's trace: every chunk relayed in either direction with its time
// since the connection opened, as readable text and as hex, in the emulator's
// transcript layout; plus notes (client, line command, why it ended).
// The chunks hold card data in clear: the file is created readable by its
// owner only.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace korvex::router {

class TraceFile {
 public:
  // A new file in `dir` named after the listening port, the local time and a
  // sequence number; null with the reason in `error`.
  static std::unique_ptr<TraceFile> Create(const std::string& dir, uint16_t port,
                                           std::string& error);
  ~TraceFile();
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  const std::string& Path() const { return path_; }
  void ToPad(const char* data, size_t size);
  void FromPad(const char* data, size_t size);
  void Note(const std::string& text);

  // "<STX>P01<ETX><0x12>  [02 50 30 31 03 12]"
  static std::string ChunkText(const std::string& bytes);

 private:
  TraceFile(std::FILE* file, std::string path);
  int64_t ElapsedMs() const;
  void Line(const std::string& line);

  std::FILE* file_;
  std::string path_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace korvex::router
