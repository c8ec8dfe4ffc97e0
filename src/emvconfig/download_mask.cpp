// Compares the version record kept in the PIN pad with the fingerprint of the
// terminal object: field 6 holds the table reference, field 13 the key-set
// checksum.
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "link/framing.h"

namespace korvex {

void Korvex::Impl::ComputeDownloadMask(const std::string& Reply) {
  DownloadMask = 0;
  std::vector<size_t> separators;
  size_t from = 0;
  while (separators.size() < 13) {
    const size_t p = Reply.find(FS, from);
    if (p == std::string::npos) return;  // too short to hold the record: nothing to compare
    separators.push_back(p);
    from = p + 1;
  }
  auto field = [&](int n) {  // text between the (n-1)th and the nth FS
    return Reply.substr(separators[n - 2] + 1, separators[n - 1] - separators[n - 2] - 1);
  };

  if (field(13) != ComputeERKChecksum().substr(0, 30)) DownloadMask |= 1;
  if (field(6) != BuildTableReference()) DownloadMask |= 2;
  RaiseDebugEvent(5, "DownloadMask=" + std::to_string(DownloadMask));
}

}  // namespace korvex
