// The version record saved in the PIN pad after a table update: 18 fields,
// the table reference in field 6 and the key-set checksum in field 13.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"

namespace korvex {

std::string Korvex::Impl::BuildVersionRecord() const {
  const std::string fs(1, FS);
  std::string record;
  for (int field = 1; field <= 18; ++field) {
    if (field == 6) record += TableReference;
    if (field == 13) record += ERKChecksum;
    record += fs;
  }
  return record;
}

}  // namespace korvex
