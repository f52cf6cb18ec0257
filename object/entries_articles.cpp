// The printer's article table (command 107: program, delete, re-price, read one, walk) and its
// operators (names, passwords, password reset: commands 102, 101, 119).
#include <cstring>
#include <string>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

// The article commands answer "P" (passed) or "F" (failed, no such article, end of the table)
// in the first character of field 1.
bool ArticleAnswerFailed(const PrinterContext& ctx) {
  return ReplyField(ctx, 1)[0] == 'F';
}

// An "F" after a reply without failure is a printer refusal all the same: call status -2, the
// reply's error word and status bytes stay saved.
bool ArticleOutcome(PrinterContext& ctx, Outcome outcome) {
  if (outcome != Outcome::Succeeded) return false;
  if (!ArticleAnswerFailed(ctx)) return true;
  ctx.state.CallStatus = kCallFailed;
  return false;
}

// The article record of a read: the reply data as received, without the leading "P,".
// Empty text when the read failed or found nothing.
BSTR ArticleRecord(PrinterContext& ctx, Outcome outcome) {
  if (!ArticleOutcome(ctx, outcome)) return ToBstr("");
  const char* data = ctx.state.LastResult.ReplyData;
  if (data == nullptr || std::strlen(data) < 2) return ToBstr("");
  return ToBstr(data + 2);
}

// The operators of the printer are 1..15; "-1,..." or "0,..." would be read as another
// operator's record. Refused before anything is sent.
bool OperatorNumberAccepted(PrinterContext& ctx, LONG number) {
  if (number >= 1 && number <= 15) return true;
  SaveRefusal(ctx);
  return false;
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ProgramArt(unsigned char Tax, int NumArt, int Group,
                                                      double Price, BSTR Password, BSTR Name,
                                                      VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    const std::string name = ClientText(ctx, Name, "Name", kComma);
    // Article number, tax letter, group and a negative price are judged by the builder; the
    // request is refused for them after the pre-read.
    const PrnRequest request = PrnBuildArticleProgram(
        static_cast<char>(Tax), static_cast<std::int32_t>(NumArt), static_cast<std::int32_t>(Group),
        Price, password.c_str(), name.c_str());
    if (!PortTestFitsAndPreRead(ctx, request)) return;
    if (Price == 0) {
      // Refused by the entry itself: the saved error word stays as it was.
      ctx.state.CallStatus = kCallRefused;
      return;
    }
    *Result = AsBool(ArticleOutcome(ctx, RunSavedRequest(ctx, request)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DeleteArt(int NumArt, BSTR Password,
                                                     VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    const PrnRequest request =
        PrnBuildArticleDelete(static_cast<std::int32_t>(NumArt), password.c_str());
    if (!PortTestFitsAndPreRead(ctx, request)) return;
    // A negative number is refused without a word: call status and error word stay.
    if (NumArt < 0) return;
    *Result = AsBool(ArticleOutcome(ctx, RunSavedRequest(ctx, request)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ChangePrice(int NumArt, double NewPrice, BSTR Password,
                                                       VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    // A price of 0 or below is no price (ProgramArt refuses it too): refused, nothing sent.
    if (!(NewPrice > 0)) {
      SaveRefusal(ctx);
      return;
    }
    *Result = AsBool(ArticleOutcome(
        ctx, RunFramedText(ctx, PrnBuildArticleChangePrice(static_cast<std::int32_t>(NumArt),
                                                           NewPrice, password.c_str()))));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetArtInfo(int NumArt, BSTR* InfoArt) {
  if (InfoArt == nullptr) return E_POINTER;
  *InfoArt = nullptr;
  return RunGuarded(ctx, [&] {
    *InfoArt =
        ArticleRecord(ctx, RunFramed(ctx, PrnBuildArticleRead, static_cast<std::int32_t>(NumArt)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_FirstArt(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded(ctx,
                    [&] { *Value = ArticleRecord(ctx, RunFramed(ctx, PrnBuildArticleFirst)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_NextArt(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded(ctx, [&] { *Value = ArticleRecord(ctx, RunFramed(ctx, PrnBuildArticleNext)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SetOperatorName(LONG OperatorNum, BSTR Password,
                                                           BSTR OperatorName,
                                                           VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, Password, "Password", kComma);
    const std::string name = ClientText(ctx, OperatorName, "OperatorName", kComma);
    if (!OperatorNumberAccepted(ctx, OperatorNum)) return;
    *Result = AsBool(RunFramedText(ctx, PrnBuildSetOperatorName(
                                            static_cast<std::int32_t>(OperatorNum),
                                            password.c_str(), name.c_str())) == Outcome::Succeeded);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SetOperatorPassword(LONG OperatorNum, BSTR OldPassword,
                                                               BSTR NewPassword,
                                                               VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string old_password = ClientText(ctx, OldPassword, "OldPassword", kComma);
    const std::string new_password = ClientText(ctx, NewPassword, "NewPassword", kComma);
    if (!OperatorNumberAccepted(ctx, OperatorNum)) return;
    *Result =
        AsBool(RunFramedText(ctx, PrnBuildSetOperatorPassword(
                                      static_cast<std::int32_t>(OperatorNum), old_password.c_str(),
                                      new_password.c_str())) == Outcome::Succeeded);
  });
}

// Result is declared an [in] pointer in the type library (callers and the library rely on the
// declaration); the entry writes it all the same.
HRESULT STDMETHODCALLTYPE TECRFiscEntries::ClearOperatorPassword(BSTR AdministatorPassword,
                                                                 LONG OperatorNum,
                                                                 VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password =
        ClientText(ctx, AdministatorPassword, "AdministatorPassword", kComma);
    // An operator number outside 1..15 is refused by the builder, after the pre-read.
    *Result = AsBool(
        RunFramedText(ctx, PrnBuildClearOperatorPassword(static_cast<std::int32_t>(OperatorNum),
                                                         password.c_str())) == Outcome::Succeeded);
  });
}

}  // namespace molvex
