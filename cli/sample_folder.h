// Where the demo finds the sample download folder: beside an installed tree
// or in the build tree the program was built in.
#pragma once

#include <string>

namespace korvex::cli {

// The folder of the running program; "" when the system cannot tell.
std::string ExecutableFolder();

// <executableFolder>/../share/korvex/download when it holds a Constant
// folder (an installed tree), else buildFolder.
std::string SampleDownloadFolder(const std::string& executableFolder,
                                 const std::string& buildFolder);

}  // namespace korvex::cli

namespace korvex::cli {

// A download folder the demo can write its pad's key files into: the given
// folder when it is writable, else a copy of it under the temporary folder
// (an installed tree usually belongs to root), removed with this object.
class WritableFolder {
 public:
  explicit WritableFolder(const std::string& folder);
  ~WritableFolder();
  WritableFolder(const WritableFolder&) = delete;
  WritableFolder& operator=(const WritableFolder&) = delete;

  // The folder to use; "" when a copy was needed and failed, see Error().
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }

 private:
  std::string path_;
  std::string copy_;  // the copy to remove, if one was made
  std::string error_;
};

}  // namespace korvex::cli
