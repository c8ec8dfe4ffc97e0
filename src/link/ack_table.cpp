// What an ACK from the PIN pad means in each state: usually "request
// received, now wait for the reply" (odd state -> next even state), for a few
// requests the start of the next step.
#include <string>

#include "control/korvex_impl.h"
#include "download/download_messages.h"
#include "transaction/prompts.h"

namespace korvex {

void Korvex::Impl::ProcessAck() {
  RaiseDebugEvent(5, "<ACK> received at State=", fState);
  NakCount = 0;

  switch (fState) {
    // Plain transitions: request acknowledged, wait for its reply.
    // clang-format off
    case 109: case 127: case 151: case 153: case 155: case 157: case 159: case 161:
    case 163: case 201: case 203: case 209: case 251: case 253: case 255: case 259:
    case 261: case 265: case 267: case 270: case 271: case 272: case 273: case 276:
    case 277: case 281: case 283: case 301: case 503: case 505: case 507: case 600:
    case 602: case 620: case 623:
      ++fState;
      break;
    // clang-format on
    case 252:  // the chip application's reply can take the cardholder's time
      break;
    case 129:  // "I07" taken: look for the loader
      RetryCount = 0;
      DetectLoaderApp(STATE_LOADER_DETECT);
      return;
    case 131:  // "L0202" taken: the loader is in download mode
      ConnectForDownload();
      return;
    case 137:  // "L0302" after a download: give the application time to start
      fState = STATE_EMVAPP_START_ACKED;
      RestartTimer(5000);
      break;
    case 205:  // swipe reading on: prompt for a card
      SendZ2(STATE_INSERT_PROMPT_SENT, kInsertCardPrompt, true);
      return;
    case 207:  // prompt shown: poll the chip reader
      RaiseDebugEvent(10, "Sisesta kaart");
      SendI050(STATE_CARD_POLL_SENT);
      return;
    case 211:  // a chip card was swiped, or
    case 213:  // swipe reading off after a card was inserted: start the chip
      SendC00();
      return;
    case 212:  // the track message of a swiped card
      ProcessTrack2Msg();
      return;
    case 401:  // swipe prompt shown: swipe reading on
      SendQ4(STATE_MAGNET_SWIPE_ON_SENT, true);
      RaiseDebugEvent(10, "Loe magnetrada");
      return;
    case 403:  // wait for the swipe as long as it takes: the timer stays off
      fState = STATE_MAGNET_WAIT;
      return;
    case 501:  // "72" taken: look for a card left in the reader
      StopTimer();
      WarmResetPending = false;
      SendI050(STATE_WARM_RESET_I050);
      return;
    case 604:  // "L0302" taken: wait for the application's P00
      fState = STATE_EMVAPP_SWITCH_WAIT;
      RestartTimer(5000);
      break;
    case 610:  // the transfer starts with the group set-up
      RaiseDebugEvent(10, "Allalaadimine...");
      SendDownloadRequest(STATE_DOWNLOAD_GROUP_SENT, kGroupSetUp);
      return;
    case 611:
      dl.DownloadFileIndex = 0;
      SendDownloadRequest(STATE_DOWNLOAD_NEXT_FILE, kNextFile);
      return;
    case 612:
      ++dl.DownloadFileIndex;
      SendFileHeader();
      return;
    // A block that cannot be read sends nothing; the timer, re-armed below,
    // then ends the download with the error of its state.
    case 613:
    case 614:
    case 615: SendFileBlock(); break;
    case 616: SendDownloadRequest(STATE_DOWNLOAD_HEAP_SENT, kHeapSetting); return;
    case 617: SendDownloadDisplay(STATE_DOWNLOAD_DONE_SHOWN, kDownloadDone); return;
    case 618: SendDownloadRequest(STATE_DOWNLOAD_CLOSING, kClosingCommand); return;
    case 619: FinishDownload(); return;
    default: RaiseInterfaceEvent(1, 8, "ACK Received at fState=" + std::to_string(fState)); return;
  }

  // The wait for the reply starts again with the interval of the request.
  if (TimeoutTimer->Interval() >= 1) TimeoutTimer->SetEnabled(true);
}

}  // namespace korvex
