// Korvex: the control that drives one PIN pad for a point-of-sale host.
//
// Most methods only start an exchange with the PIN pad and return a small
// status at once (0 started, 1 refused in this state, 7 bad argument); the
// outcome arrives later through KorvexEvents::InterfaceEvent. Everything runs
// on the host's thread: method calls, socket events and timer ticks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvex/download_observer.h"
#include "korvex/events.h"
#include "korvex/host.h"
#include "korvex/terminal_object.h"

namespace korvex {

class ImplAccess;

class Korvex {
 public:
  Korvex(Host& host, KorvexEvents& events);
  // Performs ResetConnection: timer off, socket closed, state back to idle.
  ~Korvex();
  Korvex(const Korvex&) = delete;
  Korvex& operator=(const Korvex&) = delete;

  // Connects (if needed) and makes sure the payment application runs.
  // 0 started, 1 refused (no terminal object bound).
  int16_t PerformConnectionTest(int16_t HostIndex);
  // Compares the PIN pad's keys and tables with the terminal object and
  // updates them. 0 started, 1 refused (payment application not confirmed).
  int16_t InitTransaction();
  // Reads the router address of this PIN pad. 0 done, 1 refused (not idle).
  int16_t InitFromReg();
  // Binds the terminal configuration and takes its fingerprint.
  // 0 bound, 1 refused (not idle). The object must outlive the control.
  int16_t setTerminalObject(TerminalObject& TerminalObject);

  // ---- Card transaction --------------------------------------------------
  // Starts a payment in any state: the PIN pad is reset to card entry and the
  // cardholder is prompted for a card. DateTime is 12 digits passed to the PIN
  // pad as they are; Amount is in major units. 0 started, 7 DateTime not 12
  // digits or Amount not a finite number.
  int16_t StartTransaction(const std::string& DateTime, double Amount, int16_t CurrencyCode,
                           bool UseMag);
  // After "Track2 received": restarts the chip application with a new amount.
  // 0 started, 1 refused in this state, 7 Amount not a finite number.
  int16_t ChangeTransactionAmount(double Amount);
  // After "Track2 received": policy, amount confirmation and PIN entry.
  // 0 started, 1 refused in this state or with no terminal object bound.
  int16_t EnterPIN();
  // After "Pin entered!": the first cryptogram. 0 started, 1 refused.
  int16_t GetFirstCrypto(uint8_t TerminalDecision, bool Blacklisted);
  // After "Authorization!": issuer scripts (binary, one byte per character),
  // issuer authentication data and response code (hexadecimal text), then the
  // second cryptogram. 0 started, 1 refused, 7 DecisionCode outside 0..4.
  int16_t GetSecondCrypto(int16_t DecisionCode, const std::string& Script71,
                          const std::string& Script72, const std::string& IAD,
                          const std::string& ActionCode);
  // The stored card data by key ("AID", "PAN", "9F26", "CSN" ...); "" for an
  // unknown key. Any state; sends nothing.
  std::string getTag(const std::string& Tag);
  // A swipe outside a transaction; the track arrives as an EventType 5 event.
  // 0 started, 1 refused (payment application not ready).
  int16_t MagnetReader();
  // Fallback check of a magnetic-stripe service code (3 digits).
  // 0 accepted, 1 refused in this state, 7 not 3 digits.
  int16_t CheckServiceCode(const std::string& ServiceCode);

  // ---- File download ------------------------------------------------------
  // The folder holding "Constant\" (the application and configuration files)
  // and the PIN pad's key folder, named after the PIN pad. A missing final
  // separator is added ("\"; "/" works as well); "" stands for the current
  // folder. Letter case in the folder's paths does not matter.
  void SetDownloadPath(const std::string& Value);
  // Writes the CA-key files and builds the list of files to send; the control
  // calls it itself when the PIN pad's loader is ready for a download. A
  // failure (no terminal object bound, key folder not creatable, the terminal
  // object failing) is reported as InterfaceEvent 1/44 "Download preparation
  // failed: ..."; the state does not change.
  void PrepareDownload();
  // Progress calls during a download; nullptr removes the observer. Held, never
  // owned: it must outlive the control or be removed first.
  void setDownloadObserver(DownloadObserver* Observer);

  // Brings the PIN pad back to its idle screen. 0, or 31 when the reset waits
  // for the cardholder and will be carried out by the next message.
  int16_t WarmReset();
  // Drops the connection and all link state at once, silently.
  void ColdReset();

  // How long the control waits for the PIN pad with no reply timer running
  // (a reply that stopped the timer and left nothing to wait for, a reply lost
  // during PIN entry or a swipe) before it raises InterfaceEvent 1/17 "PinPad
  // timeout", drops the connection and returns to STATE_TERMINAL_SET
  // (STATE_IDLE without a terminal object). Milliseconds, 30000 at creation,
  // 0 for no guard; setStallGuardMs returns 0, or 7 when Ms is negative.
  int32_t getStallGuardMs();
  int16_t setStallGuardMs(int32_t Ms);

  int16_t getState();
  void setEMVRegistryKey(const std::string& EMVRegistryKey);
  std::string getName();
  void setName(const std::string& myName);
  int16_t getHostIndex();

  class Impl;

 private:
  // Reaches the implementation for tools and tests built inside this tree;
  // defined in a header of the sources, not installed.
  friend class ImplAccess;
  std::unique_ptr<Impl> impl_;
};

}  // namespace korvex
