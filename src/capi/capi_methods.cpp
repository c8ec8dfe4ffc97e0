// The control's methods through the C interface: each checks its handle and
// byte strings, calls the method and writes its result.
#include "capi/capi_guard.h"
#include "capi/capi_handles.h"

using korvex::capi::CopyOut;
using korvex::capi::Guarded;
using korvex::capi::Need;
using korvex::capi::Put;
using korvex::capi::Text;

namespace {

korvex::Korvex& Control(korvex_control* control) {
  return Need(control, "control").control;
}

// A method with no argument whose status goes to `result`.
template <typename Method>
int Status(korvex_control* control, int16_t* result, Method method) {
  return Guarded([&] { Put(result, (Control(control).*method)()); });
}

}  // namespace

extern "C" {

int korvex_PerformConnectionTest(korvex_control* control, int16_t HostIndex, int16_t* result) {
  return Guarded([&] { Put(result, Control(control).PerformConnectionTest(HostIndex)); });
}

int korvex_InitTransaction(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::InitTransaction);
}

int korvex_InitFromReg(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::InitFromReg);
}

int korvex_StartTransaction(korvex_control* control, const char* DateTime, size_t DateTime_length,
                            double Amount, int16_t CurrencyCode, int UseMag, int16_t* result) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    const std::string dateTime = Text(DateTime, DateTime_length, "DateTime");
    Put(result, c.StartTransaction(dateTime, Amount, CurrencyCode, UseMag != 0));
  });
}

int korvex_ChangeTransactionAmount(korvex_control* control, double Amount, int16_t* result) {
  return Guarded([&] { Put(result, Control(control).ChangeTransactionAmount(Amount)); });
}

int korvex_EnterPIN(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::EnterPIN);
}

int korvex_GetFirstCrypto(korvex_control* control, uint8_t TerminalDecision, int Blacklisted,
                          int16_t* result) {
  return Guarded(
      [&] { Put(result, Control(control).GetFirstCrypto(TerminalDecision, Blacklisted != 0)); });
}

int korvex_GetSecondCrypto(korvex_control* control, int16_t DecisionCode, const char* Script71,
                           size_t Script71_length, const char* Script72, size_t Script72_length,
                           const char* IAD, size_t IAD_length, const char* ActionCode,
                           size_t ActionCode_length, int16_t* result) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    const std::string script71 = Text(Script71, Script71_length, "Script71");
    const std::string script72 = Text(Script72, Script72_length, "Script72");
    const std::string iad = Text(IAD, IAD_length, "IAD");
    const std::string actionCode = Text(ActionCode, ActionCode_length, "ActionCode");
    Put(result, c.GetSecondCrypto(DecisionCode, script71, script72, iad, actionCode));
  });
}

int korvex_getTag(korvex_control* control, const char* Tag, size_t Tag_length, char* buffer,
                  size_t capacity, size_t* length) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    CopyOut(c.getTag(Text(Tag, Tag_length, "Tag")), buffer, capacity, length);
  });
}

int korvex_MagnetReader(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::MagnetReader);
}

int korvex_CheckServiceCode(korvex_control* control, const char* ServiceCode,
                            size_t ServiceCode_length, int16_t* result) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    Put(result, c.CheckServiceCode(Text(ServiceCode, ServiceCode_length, "ServiceCode")));
  });
}

int korvex_SetDownloadPath(korvex_control* control, const char* Value, size_t Value_length) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    c.SetDownloadPath(Text(Value, Value_length, "Value"));
  });
}

int korvex_PrepareDownload(korvex_control* control) {
  return Guarded([&] { Control(control).PrepareDownload(); });
}

int korvex_WarmReset(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::WarmReset);
}

int korvex_ColdReset(korvex_control* control) {
  return Guarded([&] { Control(control).ColdReset(); });
}

int korvex_getState(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::getState);
}

int korvex_setEMVRegistryKey(korvex_control* control, const char* EMVRegistryKey,
                             size_t EMVRegistryKey_length) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    c.setEMVRegistryKey(Text(EMVRegistryKey, EMVRegistryKey_length, "EMVRegistryKey"));
  });
}

int korvex_getName(korvex_control* control, char* buffer, size_t capacity, size_t* length) {
  return Guarded([&] { CopyOut(Control(control).getName(), buffer, capacity, length); });
}

int korvex_setName(korvex_control* control, const char* myName, size_t myName_length) {
  return Guarded([&] {
    korvex::Korvex& c = Control(control);
    c.setName(Text(myName, myName_length, "myName"));
  });
}

int korvex_getHostIndex(korvex_control* control, int16_t* result) {
  return Status(control, result, &korvex::Korvex::getHostIndex);
}

}  // extern "C"
