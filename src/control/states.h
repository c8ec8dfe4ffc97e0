// State codes of the control. A request moves fState to an odd code (sent,
// waiting for the PIN pad's ACK); the ACK moves it to the next even code
// (waiting for the reply). Below 200: initialisation and application handling;
// 200s card entry and EMV transaction; 300s service-code check; 400s magnetic
// stripe; 500s warm reset; 600s application switching and file download.
#pragma once

#include <cstdint>

namespace korvex {

inline constexpr int16_t STATE_IDLE = 0;
inline constexpr int16_t STATE_TERMINAL_SET = 1;

inline constexpr int16_t STATE_CONNECT_TEST = 100;
inline constexpr int16_t STATE_LOADER_DETECT = 109;
inline constexpr int16_t STATE_LOADER_DETECT_ACKED = 110;
inline constexpr int16_t STATE_EMVAPP_READY = 111;
inline constexpr int16_t STATE_CONNECT_INIT = 125;
inline constexpr int16_t STATE_D03_SENT = 127;
inline constexpr int16_t STATE_D03_ACKED = 128;
inline constexpr int16_t STATE_LOADER_START = 129;
inline constexpr int16_t STATE_DOWNLOAD_MODE = 131;
inline constexpr int16_t STATE_CONNECT_AFTER_DOWNLOAD = 135;
inline constexpr int16_t STATE_EMVAPP_START = 137;

// EMV table update.
inline constexpr int16_t STATE_EST_INFO_SENT = 151;
inline constexpr int16_t STATE_EST_INFO_ACKED = 152;
inline constexpr int16_t STATE_MVT_INFO_SENT = 153;
inline constexpr int16_t STATE_MVT_INFO_ACKED = 154;
inline constexpr int16_t STATE_EST_DELETE_SENT = 155;
inline constexpr int16_t STATE_EST_DELETE_ACKED = 156;
inline constexpr int16_t STATE_MVT_DELETE_SENT = 157;
inline constexpr int16_t STATE_MVT_DELETE_ACKED = 158;
inline constexpr int16_t STATE_EST_ADD_SENT = 159;
inline constexpr int16_t STATE_EST_ADD_ACKED = 160;
inline constexpr int16_t STATE_MVT_ADD_SENT = 161;
inline constexpr int16_t STATE_MVT_ADD_ACKED = 162;
inline constexpr int16_t STATE_VERSIONS_SENT = 163;
inline constexpr int16_t STATE_VERSIONS_ACKED = 164;
inline constexpr int16_t STATE_INIT_DONE = 165;

// Card entry.
inline constexpr int16_t STATE_CONNECT_TRANSACTION = 200;
inline constexpr int16_t STATE_CARD_RESET_SENT = 201;
inline constexpr int16_t STATE_CARD_RESET_ACKED = 202;
inline constexpr int16_t STATE_CARD_REMOVAL_SENT = 203;
inline constexpr int16_t STATE_CARD_REMOVAL_ACKED = 204;
inline constexpr int16_t STATE_SWIPE_ON_SENT = 205;
inline constexpr int16_t STATE_INSERT_PROMPT_SENT = 207;
inline constexpr int16_t STATE_CARD_POLL_SENT = 209;
inline constexpr int16_t STATE_CARD_POLL_ACKED = 210;
inline constexpr int16_t STATE_CHIP_CARD_SEEN = 211;
inline constexpr int16_t STATE_TRACK2_SEEN = 212;
inline constexpr int16_t STATE_SWIPE_OFF_SENT = 213;
inline constexpr int16_t STATE_CHIP_START_SENT = 251;
inline constexpr int16_t STATE_CHIP_START_ACKED = 252;

// Application selection and card data.
inline constexpr int16_t STATE_APP_SELECT_SENT = 253;
inline constexpr int16_t STATE_APP_SELECT_ACKED = 254;
inline constexpr int16_t STATE_CARD_DATA_SENT = 255;
inline constexpr int16_t STATE_CARD_DATA_READY = 256;

// Cardholder verification: policy and limits, amount confirmation, PIN entry.
inline constexpr int16_t STATE_AMOUNT_CONFIRM_SENT = 259;
inline constexpr int16_t STATE_AMOUNT_CONFIRM_ACKED = 260;
inline constexpr int16_t STATE_PIN_SENT = 261;
inline constexpr int16_t STATE_PIN_ACKED = 262;
inline constexpr int16_t STATE_PIN_DONE = 263;
inline constexpr int16_t STATE_PIN_POLICY_SENT = 281;
inline constexpr int16_t STATE_PIN_POLICY_ACKED = 282;
inline constexpr int16_t STATE_PIN_LIMITS_SENT = 283;
inline constexpr int16_t STATE_PIN_LIMITS_ACKED = 284;

// First and second cryptogram. 271-273 serve two steps each: the blacklist
// path before the first cryptogram and the second cryptogram; the reply codes
// keep them apart (271 is also "C84 sent", 272 "awaiting C84", 273 "final C20
// sent").
inline constexpr int16_t STATE_FIRST_AC_SENT = 265;
inline constexpr int16_t STATE_FIRST_AC_ACKED = 266;
inline constexpr int16_t STATE_FIRST_AC_DATA_SENT = 267;
inline constexpr int16_t STATE_FIRST_AC_DATA_ACKED = 268;
inline constexpr int16_t STATE_AUTHORISATION = 269;
inline constexpr int16_t STATE_TVR_READ_SENT = 270;
inline constexpr int16_t STATE_TVR_READ_ACKED = 271;
inline constexpr int16_t STATE_TVR_WRITE_SENT = 272;
inline constexpr int16_t STATE_TVR_WRITE_ACKED = 273;
inline constexpr int16_t STATE_FINAL_DATA_ACKED = 274;
inline constexpr int16_t STATE_TRANSACTION_DONE = 275;
inline constexpr int16_t STATE_SCRIPT_SENT = 276;
inline constexpr int16_t STATE_SCRIPT_ACKED = 277;
inline constexpr int16_t STATE_AUTH_RESPONSE_ACKED = 278;

// Fallback check of a service code, and the magnetic-stripe read.
inline constexpr int16_t STATE_CONNECT_SERVICE_CODE = 300;
inline constexpr int16_t STATE_SERVICE_CODE_SENT = 301;
inline constexpr int16_t STATE_SERVICE_CODE_ACKED = 302;
inline constexpr int16_t STATE_CONNECT_MAGNET = 400;
inline constexpr int16_t STATE_MAGNET_PROMPT_SENT = 401;
inline constexpr int16_t STATE_MAGNET_SWIPE_ON_SENT = 403;
inline constexpr int16_t STATE_MAGNET_WAIT = 405;

// Warm reset.
inline constexpr int16_t STATE_WARM_RESET_SENT = 501;
inline constexpr int16_t STATE_WARM_RESET_I050 = 503;
inline constexpr int16_t STATE_WARM_RESET_I050_ACKED = 504;
inline constexpr int16_t STATE_WARM_RESET_CARD_REMOVAL = 507;
inline constexpr int16_t STATE_WARM_RESET_CARD_REMOVAL_ACKED = 508;

// Application switching and download.
inline constexpr int16_t STATE_APP_DETECT = 600;
inline constexpr int16_t STATE_APP_DETECT_ACKED = 601;
inline constexpr int16_t STATE_LOADER_SUGGESTED = 602;
inline constexpr int16_t STATE_LOADER_SUGGESTED_ACKED = 603;
inline constexpr int16_t STATE_EMVAPP_SWITCH = 604;
inline constexpr int16_t STATE_EMVAPP_SWITCH_WAIT = 605;
inline constexpr int16_t STATE_CONNECT_DOWNLOAD = 606;
inline constexpr int16_t STATE_DOWNLOAD_WAIT = 607;
inline constexpr int16_t STATE_LOADER_FOUND = 608;
inline constexpr int16_t STATE_DOWNLOAD_REQUESTED = 609;
// File transfer: every state waits for the PIN pad's ACK of what was sent.
inline constexpr int16_t STATE_DOWNLOAD_ANNOUNCED = 610;   // "--DOWNLOADING--" shown
inline constexpr int16_t STATE_DOWNLOAD_GROUP_SENT = 611;  // group set-up
inline constexpr int16_t STATE_DOWNLOAD_NEXT_FILE = 612;   // next-file message
inline constexpr int16_t STATE_DOWNLOAD_HEADER_SENT = 613;
inline constexpr int16_t STATE_DOWNLOAD_BLOCK_SENT = 614;
inline constexpr int16_t STATE_DOWNLOAD_PROGRESS_SHOWN = 615;
inline constexpr int16_t STATE_DOWNLOAD_STACK_SENT = 616;
inline constexpr int16_t STATE_DOWNLOAD_HEAP_SENT = 617;
inline constexpr int16_t STATE_DOWNLOAD_DONE_SHOWN = 618;
inline constexpr int16_t STATE_DOWNLOAD_CLOSING = 619;  // closing command
inline constexpr int16_t STATE_SWITCH_CHECK = 620;
inline constexpr int16_t STATE_SWITCH_CHECK_ACKED = 621;
inline constexpr int16_t STATE_EMVAPP_START_ACKED = 622;
inline constexpr int16_t STATE_DOWNLOAD_CHECK = 623;
inline constexpr int16_t STATE_DOWNLOAD_CHECK_ACKED = 624;
inline constexpr int16_t STATE_LOADER_READY = 625;

inline constexpr int16_t STATE_RESULT_ERROR = 1000;

// The constant's name ("STATE_EST_INFO_ACKED"), or "" for a code without one.
const char* StateName(int16_t State);

}  // namespace korvex
