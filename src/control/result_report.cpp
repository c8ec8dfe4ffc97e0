// A failure status from the PIN pad reaches the host as Kind + status with
// its text: Kind 100 for card-transaction replies, 200 for table replies.
#include "control/korvex_impl.h"
#include "support/conversions.h"
#include "support/korvex_lang.h"

namespace korvex {

void Korvex::Impl::ReportResultCode(int16_t Kind, const std::string& ResultText) {
  int32_t n = 0;
  // A status that is not a number is reported as 90, a code without a text.
  if (!ToLong(ResultText, n)) n = 90;
  fState = STATE_RESULT_ERROR;
  std::string text;
  if (Kind == 100) text = EmvResultText(n);
  if (Kind == 200) text = TableResultText(n);
  RaiseInterfaceEvent(1, Kind + n, text);
}

}  // namespace korvex
