#include "router/trace_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "emulator/core/transcript.h"
#include "emulator/core/wire_text.h"

namespace korvex::router {
namespace {

std::string LocalStamp(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ' ';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace

std::unique_ptr<TraceFile> TraceFile::Create(const std::string& dir, uint16_t port,
                                             std::string& error) {
  static std::atomic<unsigned> sequence{0};
  const std::string path = dir + "/korvex-router-" + std::to_string(port) + "-" +
                           LocalStamp("%Y%m%d-%H%M%S") + "-" + std::to_string(++sequence) +
                           ".trace";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  std::FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (file == nullptr) {
    error = path + ": cannot create the trace file: " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  auto trace = std::unique_ptr<TraceFile>(new TraceFile(file, path));
  trace->Note("trace opened " + LocalStamp("%Y-%m-%d %H:%M:%S"));
  return trace;
}

TraceFile::TraceFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}

TraceFile::~TraceFile() {
  std::fclose(file_);
}

std::string TraceFile::ChunkText(const std::string& bytes) {
  return emu::DescribeBytes(bytes) + "  [" + Hex(bytes) + "]";
}

int64_t TraceFile::ElapsedMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

void TraceFile::Line(const std::string& line) {
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
}

void TraceFile::ToPad(const char* data, size_t size) {
  const std::string bytes(data, size);
  Line(emu::FormatEntry({ElapsedMs(), emu::Direction::ToPad, bytes, ChunkText(bytes)}));
}

void TraceFile::FromPad(const char* data, size_t size) {
  const std::string bytes(data, size);
  Line(emu::FormatEntry({ElapsedMs(), emu::Direction::FromPad, bytes, ChunkText(bytes)}));
}

void TraceFile::Note(const std::string& text) {
  Line(emu::FormatEntry({ElapsedMs(), emu::Direction::Note, "", text}));
}

}  // namespace korvex::router
