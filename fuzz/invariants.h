// What must hold for the control after every step of a receive-path run,
// whatever the PIN pad sent and however much time passed: the state is one of
// the state codes, the control is not left waiting for nothing (the reply
// timer runs, or it waits for people, or the stall guard watches it, or a
// connection is under way, or the connection is gone and that was reported),
// and what it buffers stays bounded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "control/korvex_impl.h"
#include "control/states.h"

namespace korvex::fuzz {

// More than any reply the pad sends (and any file block) many times over.
inline constexpr size_t kMaxBuffered = size_t{64} << 10;

inline bool KnownState(int16_t state) {
  switch (state) {
    case STATE_IDLE:
    case STATE_TERMINAL_SET:
    case STATE_CONNECT_TEST:
    case STATE_LOADER_DETECT:
    case STATE_LOADER_DETECT_ACKED:
    case STATE_EMVAPP_READY:
    case STATE_CONNECT_INIT:
    case STATE_D03_SENT:
    case STATE_D03_ACKED:
    case STATE_LOADER_START:
    case STATE_DOWNLOAD_MODE:
    case STATE_CONNECT_AFTER_DOWNLOAD:
    case STATE_EMVAPP_START:
    case STATE_EST_INFO_SENT:
    case STATE_EST_INFO_ACKED:
    case STATE_MVT_INFO_SENT:
    case STATE_MVT_INFO_ACKED:
    case STATE_EST_DELETE_SENT:
    case STATE_EST_DELETE_ACKED:
    case STATE_MVT_DELETE_SENT:
    case STATE_MVT_DELETE_ACKED:
    case STATE_EST_ADD_SENT:
    case STATE_EST_ADD_ACKED:
    case STATE_MVT_ADD_SENT:
    case STATE_MVT_ADD_ACKED:
    case STATE_VERSIONS_SENT:
    case STATE_VERSIONS_ACKED:
    case STATE_INIT_DONE:
    case STATE_CONNECT_TRANSACTION:
    case STATE_CARD_RESET_SENT:
    case STATE_CARD_RESET_ACKED:
    case STATE_CARD_REMOVAL_SENT:
    case STATE_CARD_REMOVAL_ACKED:
    case STATE_SWIPE_ON_SENT:
    case STATE_INSERT_PROMPT_SENT:
    case STATE_CARD_POLL_SENT:
    case STATE_CARD_POLL_ACKED:
    case STATE_CHIP_CARD_SEEN:
    case STATE_TRACK2_SEEN:
    case STATE_SWIPE_OFF_SENT:
    case STATE_CHIP_START_SENT:
    case STATE_CHIP_START_ACKED:
    case STATE_APP_SELECT_SENT:
    case STATE_APP_SELECT_ACKED:
    case STATE_CARD_DATA_SENT:
    case STATE_CARD_DATA_READY:
    case STATE_AMOUNT_CONFIRM_SENT:
    case STATE_AMOUNT_CONFIRM_ACKED:
    case STATE_PIN_SENT:
    case STATE_PIN_ACKED:
    case STATE_PIN_DONE:
    case STATE_PIN_POLICY_SENT:
    case STATE_PIN_POLICY_ACKED:
    case STATE_PIN_LIMITS_SENT:
    case STATE_PIN_LIMITS_ACKED:
    case STATE_FIRST_AC_SENT:
    case STATE_FIRST_AC_ACKED:
    case STATE_FIRST_AC_DATA_SENT:
    case STATE_FIRST_AC_DATA_ACKED:
    case STATE_AUTHORISATION:
    case STATE_TVR_READ_SENT:
    case STATE_TVR_READ_ACKED:
    case STATE_TVR_WRITE_SENT:
    case STATE_TVR_WRITE_ACKED:
    case STATE_FINAL_DATA_ACKED:
    case STATE_TRANSACTION_DONE:
    case STATE_SCRIPT_SENT:
    case STATE_SCRIPT_ACKED:
    case STATE_AUTH_RESPONSE_ACKED:
    case STATE_CONNECT_SERVICE_CODE:
    case STATE_SERVICE_CODE_SENT:
    case STATE_SERVICE_CODE_ACKED:
    case STATE_CONNECT_MAGNET:
    case STATE_MAGNET_PROMPT_SENT:
    case STATE_MAGNET_SWIPE_ON_SENT:
    case STATE_MAGNET_WAIT:
    case STATE_WARM_RESET_SENT:
    case STATE_WARM_RESET_I050:
    case STATE_WARM_RESET_I050_ACKED:
    case STATE_WARM_RESET_CARD_REMOVAL:
    case STATE_WARM_RESET_CARD_REMOVAL_ACKED:
    case STATE_APP_DETECT:
    case STATE_APP_DETECT_ACKED:
    case STATE_LOADER_SUGGESTED:
    case STATE_LOADER_SUGGESTED_ACKED:
    case STATE_EMVAPP_SWITCH:
    case STATE_EMVAPP_SWITCH_WAIT:
    case STATE_CONNECT_DOWNLOAD:
    case STATE_DOWNLOAD_WAIT:
    case STATE_LOADER_FOUND:
    case STATE_DOWNLOAD_REQUESTED:
    case STATE_DOWNLOAD_ANNOUNCED:
    case STATE_DOWNLOAD_GROUP_SENT:
    case STATE_DOWNLOAD_NEXT_FILE:
    case STATE_DOWNLOAD_HEADER_SENT:
    case STATE_DOWNLOAD_BLOCK_SENT:
    case STATE_DOWNLOAD_PROGRESS_SHOWN:
    case STATE_DOWNLOAD_STACK_SENT:
    case STATE_DOWNLOAD_HEAP_SENT:
    case STATE_DOWNLOAD_DONE_SHOWN:
    case STATE_DOWNLOAD_CLOSING:
    case STATE_SWITCH_CHECK:
    case STATE_SWITCH_CHECK_ACKED:
    case STATE_EMVAPP_START_ACKED:
    case STATE_DOWNLOAD_CHECK:
    case STATE_DOWNLOAD_CHECK_ACKED:
    case STATE_LOADER_READY:
    case STATE_RESULT_ERROR: return true;
    default: return false;
  }
}

// States in which no reply timer is due: the control waits for its host's
// next call, or for the cardholder (card removal, application choice, amount
// confirmation, PIN), who may take any time.
inline bool WaitsForPeople(int16_t state) {
  switch (state) {
    case STATE_IDLE:
    case STATE_TERMINAL_SET:
    case STATE_EMVAPP_READY:
    case STATE_INIT_DONE:
    case STATE_CARD_REMOVAL_SENT:
    case STATE_CARD_REMOVAL_ACKED:
    case STATE_APP_SELECT_SENT:
    case STATE_APP_SELECT_ACKED:
    case STATE_CARD_DATA_READY:
    case STATE_AMOUNT_CONFIRM_SENT:
    case STATE_AMOUNT_CONFIRM_ACKED:
    case STATE_PIN_SENT:
    case STATE_PIN_ACKED:
    case STATE_PIN_DONE:
    case STATE_AUTHORISATION:
    case STATE_TRANSACTION_DONE:
    case STATE_WARM_RESET_CARD_REMOVAL:
    case STATE_WARM_RESET_CARD_REMOVAL_ACKED:
    case STATE_RESULT_ERROR: return true;
    default: return false;
  }
}

// Which invariant failed, or nullptr when all hold.
inline const char* BrokenInvariant(const Korvex::Impl& control) {
  if (!KnownState(control.fState)) return "unknown state";
  const bool waiting = control.TimeoutTimer->Enabled() && control.TimeoutTimer->Interval() > 0;
  // A wait the protocol leaves without a timer is watched by the stall guard.
  const bool guarded = control.StallGuardArmed();
  // With its connection gone the control waits for nothing: the close or the
  // socket error was reported, and the host's next call starts over.
  const int16_t socket = control.Winsock1->State();
  const bool disconnected = socket == sckClosed;
  // A connection under way (after a download the control connects again)
  // always ends in the host's Connect or Error event.
  const bool connecting =
      socket == sckResolvingHost || socket == sckHostResolved || socket == sckConnecting;
  if (!waiting && !WaitsForPeople(control.fState) && !guarded && !disconnected && !connecting) {
    return "waiting with no timer";
  }
  if (control.ReceiveBuffer.size() > control.ReceiveBuffer.limit())
    return "receive buffer unbounded";
  if (control.LastSentMessage.size() > kMaxBuffered) return "sent message unbounded";
  return nullptr;
}

}  // namespace korvex::fuzz
