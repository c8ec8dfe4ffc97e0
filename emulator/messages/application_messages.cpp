// Which application runs, and the switches between them. The payment
// application answers P01; the loader answers L00 with KD0. Each ignores the
// other's probe (ACKed, never answered), as the control's detection expects.
#include "emulator/core/time_units.h"
#include "emulator/messages/message_checks.h"
#include "emulator/messages/standard_messages.h"

namespace korvex::emu {
namespace {

void AnswerP01(const std::string&, PadServices& pad) {
  pad.Reply("P0100" + pad.Config().replies.p01Application);
}

void Unanswered(const std::string& text, PadServices& pad) {
  pad.Note(text + " is not answered by the " + AppName(pad.Pad().App()) + " application");
}

// "I07": the payment application hands over to the loader, which reads
// nothing from its line until it has booted.
void StartLoader(const std::string&, PadServices& pad) {
  SwitchApp(pad, PadApp::LoaderBooting);
  pad.AfterUs(MsToUs(pad.Config().delays.loaderBootMs), [&pad] { SwitchApp(pad, PadApp::Loader); });
}

// "L0302": the loader starts the payment application, which announces
// itself with P00 once it runs. A pad without one stays in its loader.
void StartPayment(const std::string&, PadServices& pad) {
  if (!pad.Pad().PaymentInstalled()) {
    pad.Note("no payment application installed: the loader keeps running");
    return;
  }
  SwitchApp(pad, PadApp::PaymentStarting);
  pad.AfterUs(MsToUs(pad.Config().delays.paymentStartMs), [&pad] {
    SwitchApp(pad, PadApp::Payment);
    pad.Reply("P00");
  });
}

// "L0202": the loader waits for a download: its line runs at 115200 baud
// and frames carry CRC-16 from here on.
void EnterDownloadMode(const std::string&, PadServices& pad) {
  SwitchApp(pad, PadApp::Download);
}

}  // namespace

void RegisterApplicationMessages(HandlerTable& table) {
  table.Add({"P01", PadApp::Payment, ExactText("P01"), AnswerP01,
             [](const std::string& status, PadServices& pad) {
               return "P01" + status + pad.Config().replies.p01Application;
             }});
  table.Add({"P01", PadApp::Loader, nullptr, Unanswered, nullptr});
  table.Add({"L00", PadApp::Loader, ExactText("L00"),
             [](const std::string&, PadServices& pad) { pad.Reply("KD0"); }, nullptr});
  table.Add({"L00", PadApp::Payment, nullptr, Unanswered, nullptr});
  table.Add({"I07", PadApp::Payment, ExactText("I07"), StartLoader, nullptr});
  table.Add({"L0302", PadApp::Loader, ExactText("L0302"), StartPayment, nullptr});
  table.Add({"L0202", PadApp::Loader, ExactText("L0202"), EnterDownloadMode, nullptr});
}

}  // namespace korvex::emu
