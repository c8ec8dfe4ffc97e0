// The control's private implementation: its fields and every routine of the
// protocol. Member functions live in the folder of their subsystem (link/,
// padctl/, transaction/, emvconfig/, download/); this header is the one place
// that lists them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "control/states.h"
#include "download/download_fields.h"
#include "korvex/download_observer.h"
#include "korvex/events.h"
#include "korvex/host.h"
#include "korvex/korvex.h"
#include "korvex/terminal_object.h"
#include "link/receive_bytes.h"
#include "support/text_pool.h"
#include "transaction/transaction_fields.h"

namespace korvex {

class Korvex::Impl : public SocketEvents, public TimerEvents {
 public:
  Impl(Host& host, KorvexEvents& events);
  ~Impl() override;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  // ---- Fields ------------------------------------------------------------
  // Kept public: this class is private to the library, and tests inspect it.
  Host& host;
  KorvexEvents& events;
  // Socket and timer events reach the handlers below through these, so that
  // the stall guard is looked at after each of them.
  class GuardedEvents;
  class StallGuardEvents;
  std::unique_ptr<GuardedEvents> guardedEvents;
  std::unique_ptr<StallGuardEvents> stallGuardEvents;
  std::unique_ptr<Socket> Winsock1;
  std::unique_ptr<Timer> TimeoutTimer;
  // Raises "PinPad timeout" when the control waits for the PIN pad with no
  // reply timer running (control/stall_guard.cpp).
  std::unique_ptr<Timer> StallGuardTimer;
  int32_t StallGuardMs = 30000;  // 0: no guard
  int16_t StallGuardState = -1;  // the state whose wait the armed guard times
  int16_t EntryDepth = 0;        // entry points running, nested through DoEvents
  int32_t LastEventCode = 0;     // Code of the last InterfaceEvent raised

  int16_t fState = STATE_IDLE;
  std::string EMVRegistryKey;
  std::string PinPadName;
  ReceiveBytes ReceiveBuffer;
  std::string LastSentMessage;
  int16_t NakCount = 0;
  bool WarmResetPending = false;
  TerminalObject* terminalObject = nullptr;  // held, never owned
  int16_t HostIndex = 0;
  uint8_t ComPort = 0;
  bool ServiceCodeChecked = false;
  int16_t RetryCount = 0;
  std::string LastTrack2Message;
  std::string UseMagText;
  uint8_t ChecksumMode = 1;  // 1 LRC, 2 CRC-16 (download only)
  bool EMVAppDetection = false;
  uint8_t ReceiveGuard = 0;  // bit 0 processing, bit 1 data arrived meanwhile

  // Configuration fingerprint and table update.
  std::string ERKChecksum;
  std::string TableReference;
  uint8_t DownloadMask = 0;  // bit 0 keys differ, bit 1 tables differ
  int16_t RecordsLeft = 0;
  std::vector<std::string> ESTRecords;  // 1-based; element 0 unused
  std::vector<std::string> MVTRecords;  // 1-based; element 0 unused

  // The card transaction in progress.
  TransactionFields txn;

  // The file download: its folder, file list and progress.
  DownloadFields dl;
  DownloadObserver* downloadObserver = nullptr;  // held, never owned

  // Reused texts for event texts and received units.
  TextPool texts;

  // ---- Events and yielding (control/) -------------------------------------
  void RaiseInterfaceEvent(int32_t EventType, int32_t Code, const std::string& Text);
  void RaiseDebugEvent(int16_t DebugLevel, const std::string& Text);
  // The same with the text given in pieces, joined without new memory.
  void RaiseInterfaceEvent(int32_t EventType, int32_t Code,
                           std::initializer_list<std::string_view> Text);
  void RaiseDebugEvent(int16_t DebugLevel, std::initializer_list<std::string_view> Text);
  // A fixed text: no std::string is made for it when nobody reads traces.
  template <size_t N>
  void RaiseDebugEvent(int16_t DebugLevel, const char (&Text)[N]) {
    RaiseDebugEvent(DebugLevel, {std::string_view(Text)});
  }
  // A fixed text and a number (a state code, mostly): the number is only
  // written out when the host reads traces.
  void RaiseDebugEvent(int16_t DebugLevel, std::string_view Text, int64_t Number);
  // Whether the host reads traces; a trace whose pieces cost work of their
  // own (numbers to text) is only built when it does.
  bool TracesWanted() const { return events.WantsDebugEvents(); }
  // Lets pending socket and timer events of the host run.
  void DoEvents();
  // "Function='<name>'; State=<fState>; Message='<message>'."
  std::string StateReport(const std::string& function, const std::string& message) const;

  // ---- Stall guard (control/) ---------------------------------------------
  // Marks one entry point (a public method, a socket or timer event); the
  // guard is looked at when the outermost one returns.
  class EntryScope {
   public:
    explicit EntryScope(Impl& impl) : impl_(impl) { ++impl_.EntryDepth; }
    ~EntryScope() {
      if (--impl_.EntryDepth == 0) impl_.UpdateStallGuard();
    }
    EntryScope(const EntryScope&) = delete;
    EntryScope& operator=(const EntryScope&) = delete;

   private:
    Impl& impl_;
  };
  // Connected, in a state that waits for the PIN pad, and no reply timer runs.
  bool Stalled() const;
  bool StallGuardArmed() const;
  // Arms the guard when a wait without timer starts, disarms it when it ends.
  void UpdateStallGuard();
  void OnStallGuard();
  // 0 accepted, 7 negative.
  int16_t SetStallGuardMs(int32_t Ms);

  // ---- Public methods (control/) ------------------------------------------
  int16_t InitFromReg();
  int16_t setTerminalObject(TerminalObject& object);
  std::string ComputeERKChecksum();
  std::string BuildTableReference();
  // Sets STATE_RESULT_ERROR and reports Kind + status with its text.
  void ReportResultCode(int16_t Kind, const std::string& ResultText);

  // ---- Link: sending (link/) ----------------------------------------------
  // Timeout is written back when clamped to 60000.
  void SendMessage(const std::string& Message, int32_t& Timeout, uint8_t FrameType);
  void SendMessage(const std::string& Message, int32_t&& Timeout, uint8_t FrameType) {
    SendMessage(Message, Timeout, FrameType);
  }
  // Sets fState, then sends STX, text, ETX with an LRC.
  void SendRequest(int16_t State, const std::string& Text, int32_t Timeout = 3000);

  // ---- Link: receiving (link/) --------------------------------------------
  void OnDataArrival(int32_t bytesTotal) override;
  void ProcessReceiveBuffer();
  void EatMessage(const std::string& Message);
  // One unit of EatMessage, without draining the rest of the buffer.
  void EatUnit(const std::string& Message);
  bool CheckLRC(const std::string& Frame) const;
  void ProcessAck();

  // ---- Link: connection and timeouts (link/) ------------------------------
  void ConnectRouter(int16_t NextState);
  void OnConnect() override;
  void OnClose() override;
  void OnError(int32_t Number, const std::string& Description) override;
  void WaitDownloadRequest();
  void SendAckAndWait(int32_t Interval);
  void OnTimer() override;
  // Timer helpers: off, interval, on.
  void RestartTimer(int32_t IntervalMs);
  void StopTimer();

  // ---- PIN-pad control: dispatcher (padctl/) ------------------------------
  void ProcessMessage(const std::string& Message);
  void ProcessVFI(const std::string& Message);
  void ProcessMsg81(const std::string& Message);
  void AcknowledgeCardReader(const std::string& Message, bool chipCard);

  // ---- PIN-pad control: resets (padctl/) ----------------------------------
  int16_t WarmReset();
  void ColdReset();
  void ResetConnection();
  void Send72(int16_t State);
  bool UserActionNeeded() const;
  void WarmResetComplete();
  // A warm reset put off while the PIN pad was busy, carried out by the next
  // handler that looks: Code 27 with the handler's text, then WarmReset. True
  // when it was (the handler then ignores its message).
  bool CarryOutPendingWarmReset(const std::string& Text);

  // ---- PIN-pad control: initialisation (padctl/) --------------------------
  int16_t PerformConnectionTest(int16_t HostIndexArg);
  int16_t InitTransaction();
  void DetectEMVApp(int16_t State);
  void DetectLoaderApp(int16_t State);
  void StartLoaderApp();
  void StartDownloadMode();
  void StartEMVApp(int16_t State);
  void SendD03Request();
  void ProcessP00(const std::string& Message);
  void ProcessP01(const std::string& Message);
  void ProcessKD0(const std::string& Message);
  void ProcessD03(const std::string& Message);

  // ---- Card transaction (transaction/) ------------------------------------
  // Public methods.
  int16_t StartTransaction(const std::string& DateTime, double Amount, int16_t CurrencyCode,
                           bool UseMag);
  int16_t ChangeTransactionAmount(double Amount);
  int16_t EnterPIN();
  int16_t GetFirstCrypto(uint8_t TerminalDecisionArg, bool Blacklisted);
  int16_t GetSecondCrypto(int16_t DecisionCodeArg, const std::string& Script71,
                          const std::string& Script72, const std::string& IADArg,
                          const std::string& ActionCodeArg);
  int16_t MagnetReader();
  int16_t CheckServiceCode(const std::string& ServiceCodeArg);

  // Card entry.
  void SendC23();
  void SendI02(int16_t State);
  void SendQ4(int16_t State, bool SwipeOn);
  void SendZ2(int16_t State, const std::string& Text, bool ClearFirst);
  void SendI050(int16_t State);
  void SendC00();
  void ProcessC23(const std::string& Message);
  void ProcessI02(const std::string& Message);
  void ProcessI05(const std::string& Message);
  void ProcessC00(const std::string& Message);
  bool ProcessTrack2Msg();

  // Application selection and card data.
  void SendC010();
  void SendC20(int16_t State, const std::string& TagList);
  void SelectPolicy();
  void ProcessC01(const std::string& Message);
  void ProcessC20(const std::string& Message);
  // ReportResultCode unless the status is "00"; then the tag data parsed
  // with the list, or Code 25 "Invalid <label>: ..." when it does not parse.
  bool TagReplyParsed(const std::string& Message, const char* TagList, const char* label);

  // Cardholder verification.
  void SendC17();
  void SendC18();
  void SendC26();
  void SendC02();
  void ProcessC17(const std::string& Message);
  void ProcessC18(const std::string& Message);
  void ProcessC26(const std::string& Message);
  void ProcessC02(const std::string& Message);
  // Field k of the chosen policy record (terminal object, table 5).
  std::string PolicyField(int16_t field);

  // First and second cryptogram, issuer scripts.
  void SendC83();
  void SendC21TVR();
  void SendC25();
  void SendC21AuthResponse();
  void SendC84();
  void ProcessC83(const std::string& Message);
  void ProcessC21(const std::string& Message);
  void ProcessC25(const std::string& Message);
  void ProcessC84(const std::string& Message);

  // Magnetic stripe and fallback check.
  void SendC22();
  void ProcessC22(const std::string& Message);

  // ---- EMV table update (emvconfig/) --------------------------------------
  void ComputeDownloadMask(const std::string& Reply);
  void DeleteEMVTables();
  void GetTableInfo();
  void ProcessD01(const std::string& Message);
  void DeleteNextTableRecord();
  void ProcessD06(const std::string& Message);
  void AddTableRecords();
  void SendNextTableRecord();
  void SaveVersions();
  std::string BuildVersionRecord() const;
  void ProcessD04(const std::string& Message);
  void ProcessD05(const std::string& Message);
  void ProcessAddReply(const std::string& Message, bool isD05);
  bool AcceptTableReply(const std::string& function, const std::string& Message,
                        std::initializer_list<int16_t> awaiting);

  // ---- EST and MVT records (emvconfig/) -----------------------------------
  int16_t BuildESTRecords();                             // -1 ok, 0 failed
  int16_t BuildRIDList(std::vector<std::string>& RIDs);  // 1-based, -1 ok, 0 failed
  std::string GetSchemeVersion(const std::string& RID) const;
  std::string BuildERKData(int16_t& KeyIndex);
  int16_t BuildMVTRecords();  // -1 ok, 0 failed
  std::string BuildMVTRecord(int16_t& Record);
  std::string BuildMVTTerminalData();
  std::string BuildMVTConstantBlock() const;

  // ---- File download (download/) ------------------------------------------
  void SetDownloadPath(const std::string& Value);
  // Builds DownloadFiles and writes the key files. False with the reason in
  // Failure when the terminal object or the key folder lets it down.
  bool PrepareDownload(std::string& Failure);
  std::vector<std::string> WriteKeyFiles(const std::string& KeyFolder);
  void ListDownloadFiles(const std::vector<std::string>& KeyFiles);
  void CleanDownloadFolder();
  // The loader is in download mode: prepare, then reconnect at 115200 baud.
  void ConnectForDownload();
  // Ends a download attempt that cannot go on, leaving the control usable.
  void AbandonDownload(const std::string& Failure);
  // Sets fState, then sends STX, text, ETX with a CRC-16 and 3000 ms.
  void SendDownloadRequest(int16_t State, const std::string& Text);
  void SendDownloadDisplay(int16_t State, const std::string& Text);
  void SendFileHeader();
  void SendFileBlock();
  // The next Count bytes of the file being sent; false, traced, unless read whole.
  bool ReadDownloadBlock(int32_t Count, std::string& Data);
  void FinishDownload();
  void ReportDownloadProgress();
};

}  // namespace korvex
