// Port, identity and version entries.
#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_settings.h"
#include "archive/z_archive.h"
#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/line_speeds.h"
#include "object/object_error.h"
#include "object/z_capture.h"
#include "platform/text_codec.h"

namespace molvex {
namespace {

constexpr char kVerDll[] = "MolvexECR OLE v5.20 +5.00 LT7260R , +4.00  2014";
constexpr char kVersionDll[] = "MolvexECR OLE v5.20 LT7260R 21.08.2013";

// Each refused value of the settings file: a line in the info log, and all of them in the
// call's error information; the call's result stays as the reading gave it.
void ReportRefusedSettings(const PrinterContext& ctx, const std::vector<RefusedSetting>& refused) {
  if (refused.empty()) return;
  std::string message;
  for (const RefusedSetting& r : refused) {
    AppendZLog(ctx.settings, std::string(kZLogSettingRefused) + r.key);
    if (!message.empty()) message += "; ";
    message += "ZRepRec.ini: ";
    message += r.key;
    message += ' ';
    message += r.reason;
  }
  NoteErrorInfo(message.c_str());
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SetComPort(int NumPort, int Speed, int* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    ObjectState& state = ctx.state;
    if (!SpeedAccepted(Speed)) {
      SaveRefusal(ctx);
      *Result = -1;
      return;
    }
    // Opening closes a port that is still open first (the link does so too). Port numbers
    // start at 1: smaller ones fail like a port that does not exist.
    const std::int32_t opened = NumPort >= 1 ? ctx.link.Open(NumPort, Speed) : -1;
    if (NumPort < 1) ctx.link.Close();
    if (opened < 0) {
      state.PortNumber = -1;
      state.PortOpen = false;
      SaveRefusal(ctx);
      *Result = -1;
      return;
    }
    state.PortNumber = NumPort;
    state.PortOpen = true;
    state.CallStatus = kCallRefused;
    state.SavedErrorWord = 0;
    *Result = 1;
    std::vector<RefusedSetting> refused;
    const std::int32_t settings = ReadArchiveSettings(ctx.settings, &refused);
    if (settings == kSettingsFileMissing || settings == kSettingsNoIdentifier) *Result = settings;
    ReportRefusedSettings(ctx, refused);
    // The printer's code page: the settings file's, else the printer's own. An unknown one is
    // kept, so that client texts are refused with its number rather than sent in the wrong one.
    SetPrinterCodePage(static_cast<unsigned>(ctx.settings.CodePage));
    ctx.link.SetBusyLimit(ctx.settings.BusySeconds * 1000);
    TraceFromSettings(ctx.settings.TraceFile, ctx.settings.TraceMaxSizeKB);
    // Z data that the archive could not take, or that a killed process did not keep.
    WritePendingZArchives(ctx.settings);
    RecoverUnkeptZReport(ctx);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::CloseComPort(int NumPort, int* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    ObjectState& state = ctx.state;
    if (NumPort != state.PortNumber || !RunCommand(ctx, PrnBuildReadStatus, 0)) {
      // Another port's number, or a link that was never opened (no port to close).
      SaveRefusal(ctx);
      *Result = -1;
      return;
    }
    state.FailureFlag = 0;
    state.PortNumber = -1;
    ctx.link.Close();
    state.PortOpen = false;
    state.CallStatus = kCallSucceeded;
    *Result = 1;
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetVerDLL(BSTR* Version) {
  if (Version == nullptr) return E_POINTER;
  *Version = nullptr;
  return RunGuarded(ctx, [&] { *Version = ToBstr(kVerDll); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_VersionDLL(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded(ctx, [&] { *Value = ToBstr(kVersionDll); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_ID_DEV(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded(ctx, [&] {
    // No port test and no pre-read: the identity read goes straight to the link.
    if (!RunCommand(ctx, PrnBuildDeviceIdentity)) {
      SaveRefusal(ctx);
      *Value = ToBstr("");
      return;
    }
    *Value = ToBstr(SaveOutcome(ctx) ? ReplyField(ctx, 1) : "");
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetSerNumber(BSTR* Number, LONG* Result) {
  if (Number == nullptr || Result == nullptr) return E_POINTER;
  *Number = nullptr;
  return RunGuarded(ctx, [&] {
    *Result = 0;
    if (!PortTestAndPreRead(ctx)) return;
    if (!RunCommand(ctx, PrnBuildDiagnostic, 0)) {
      SaveRefusal(ctx);
      return;
    }
    // The outcome is not saved: a failure leaves the previous call's values as they are.
    if (ctx.state.FailureFlag != 0) return;
    if (ctx.state.LastResult.FieldCount < 7) return;  // no serial number in the reply
    *Number = ToBstr(ReplyField(ctx, 7));
    *Result = 1;
  });
}

}  // namespace molvex
