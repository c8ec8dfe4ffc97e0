#include "cli/sample_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <unistd.h>

#include <filesystem>
#include <vector>

namespace korvex::cli {

#ifdef _WIN32

std::string ExecutableFolder() {
  std::vector<char> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return "";
    if (length < name.size()) {
      return std::filesystem::path(std::string(name.data(), length)).parent_path().string();
    }
    name.resize(name.size() * 2);  // cut short: ask again with room for more
  }
}

#else

std::string ExecutableFolder() {
  std::error_code ec;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "" : program.parent_path().string();
}

#endif

std::string SampleDownloadFolder(const std::string& executableFolder,
                                 const std::string& buildFolder) {
  namespace fs = std::filesystem;
  if (executableFolder.empty()) return buildFolder;
  const fs::path installed = fs::path(executableFolder) / ".." / "share" / "korvex" / "download";
  std::error_code ec;
  if (!fs::is_directory(installed / "Constant", ec)) return buildFolder;
  const fs::path normal = fs::weakly_canonical(installed, ec);
  return (ec ? installed : normal).string();
}

namespace {

// A folder is writable when a folder can be made in it.
bool IsWritable(const std::filesystem::path& folder) {
  const auto probe = folder / (".korvex-probe-" + std::to_string(getpid()));
  std::error_code ec;
  if (!std::filesystem::create_directory(probe, ec)) return false;
  std::filesystem::remove(probe, ec);
  return true;
}

}  // namespace

WritableFolder::WritableFolder(const std::string& folder) {
  namespace fs = std::filesystem;
  if (IsWritable(folder)) {
    path_ = folder;
    return;
  }
  std::error_code ec;
  const fs::path copy = fs::temp_directory_path(ec) / ("korvex-demo-" + std::to_string(getpid()));
  if (!ec) fs::remove_all(copy, ec);
  // The copy's own folder is made anew: a copied one keeps the read-only mode.
  if (!ec) fs::create_directory(copy, ec);
  for (fs::directory_iterator entry(folder, ec), end; !ec && entry != end; entry.increment(ec)) {
    fs::copy(entry->path(), copy / entry->path().filename(), fs::copy_options::recursive, ec);
  }
  if (ec) {
    error_ = "download folder '" + folder + "' is read-only and copying it to '" + copy.string() +
             "' failed: " + ec.message();
    fs::remove_all(copy, ec);
    return;
  }
  path_ = copy_ = copy.string();
}

WritableFolder::~WritableFolder() {
  std::error_code ec;
  if (!copy_.empty()) std::filesystem::remove_all(copy_, ec);
}

}  // namespace korvex::cli
