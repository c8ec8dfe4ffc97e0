// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace korvex::testing {

class TempDir {
 public:
  // A random name, created only when it is not there yet (mkdtemp's way,
  // which Windows lacks).
  TempDir() {
    std::random_device random;
    std::error_code ec;
    const auto base = std::filesystem::temp_directory_path(ec);
    for (int attempt = 0; attempt < 100 && path_.empty() && !ec; ++attempt) {
      const auto candidate = base / ("korvex-" + std::to_string(random()));
      // "/" separators on Windows too, as the control writes its paths.
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate.generic_string();
    }
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Writes bytes to name and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }
  // The file's bytes; "" when it does not exist.
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::string path_;
};

}  // namespace korvex::testing
