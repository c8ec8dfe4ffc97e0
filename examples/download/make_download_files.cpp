// make_download_files FOLDER: writes the generated stand-in files of the
// sample download folder into FOLDER (created when missing). Run by the build.
#include <filesystem>
#include <fstream>
#include <iostream>

#include "examples/download/generated_files.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_download_files FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    std::cerr << "make_download_files: cannot create " << folder << ": " << ec.message() << "\n";
    return 1;
  }
  for (const auto& file : korvex::samples::GeneratedFiles(KORVEX_PROJECT_VERSION)) {
    std::ofstream out(folder / file.name, std::ios::binary | std::ios::trunc);
    out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
    if (!out.flush()) {
      std::cerr << "make_download_files: cannot write " << (folder / file.name) << "\n";
      return 1;
    }
  }
  return 0;
}
