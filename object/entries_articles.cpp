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
bool ArticleAnswerFailed() {
  return ReplyField(1)[0] == 'F';
}

// An "F" after a reply without failure is a printer refusal all the same: call status -2, the
// reply's error word and status bytes stay saved.
bool ArticleOutcome(Outcome outcome) {
  if (outcome != Outcome::Succeeded) return false;
  if (!ArticleAnswerFailed()) return true;
  SharedObjectState().CallStatus = kCallFailed;
  return false;
}

// The article record of a read: the reply data as received, without the leading "P,".
// Empty text when the read failed or found nothing.
BSTR ArticleRecord(Outcome outcome) {
  if (!ArticleOutcome(outcome)) return ToBstr("");
  const char* data = SharedObjectState().LastResult.ReplyData;
  if (data == nullptr || std::strlen(data) < 2) return ToBstr("");
  return ToBstr(data + 2);
}

// The operators of the printer are 1..15; "-1,..." or "0,..." would be read as another
// operator's record. Refused before anything is sent.
bool OperatorNumberAccepted(LONG number) {
  if (number >= 1 && number <= 15) return true;
  SaveRefusal();
  return false;
}

// Operator entries: "%d,%s,%s" of the number and two texts.
DataLength OperatorText(LONG number, const std::string& a, const std::string& b) {
  return DataLength().Int(number).Chars(1).Text(a).Chars(1).Text(b);
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ProgramArt(unsigned char Tax, int NumArt, int Group,
                                                      double Price, BSTR Password, BSTR Name,
                                                      VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(Password, "Password", kComma);
    const std::string name = ClientText(Name, "Name", kComma);
    // "P%c%d,%d,%-#.2lf,%s,%s"
    const DataLength data = DataLength()
                                .Chars(2)
                                .Int(NumArt)
                                .Chars(1)
                                .Int(Group)
                                .Chars(1)
                                .Fixed(Price, 2)
                                .Chars(1)
                                .Text(password)
                                .Chars(1)
                                .Text(name);
    if (!PortTestFitsAndPreRead(data)) return;
    if (Price == 0) {
      // Refused by the entry itself: the saved error word stays as it was.
      SharedObjectState().CallStatus = kCallRefused;
      return;
    }
    // Article number, tax letter, group and a negative price are judged by the wrapper.
    *Result = AsBool(ArticleOutcome(
        RunSaved(PrnArticleProgram, static_cast<char>(Tax), static_cast<std::int32_t>(NumArt),
                 static_cast<std::int32_t>(Group), Price, password.c_str(), name.c_str())));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DeleteArt(int NumArt, BSTR Password,
                                                     VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(Password, "Password", kComma);
    // "DA,%s" (all articles) or "D%d,%s"
    DataLength data;
    if (NumArt == 0) {
      data.Chars(3);
    } else {
      data.Chars(1).Int(NumArt).Chars(1);
    }
    if (!PortTestFitsAndPreRead(data.Text(password))) return;
    // A negative number is refused without a word: call status and error word stay.
    if (NumArt < 0) return;
    *Result = AsBool(ArticleOutcome(
        RunSaved(PrnArticleDelete, static_cast<std::int32_t>(NumArt), password.c_str())));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ChangePrice(int NumArt, double NewPrice, BSTR Password,
                                                       VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(Password, "Password", kComma);
    // A price of 0 or below is no price (ProgramArt refuses it too): refused, nothing sent.
    if (!(NewPrice > 0)) {
      SaveRefusal();
      return;
    }
    // "C%d,%-#.2lf,%s"
    const DataLength data =
        DataLength().Chars(1).Int(NumArt).Chars(1).Fixed(NewPrice, 2).Chars(1).Text(password);
    *Result = AsBool(
        ArticleOutcome(RunFramedText(data, PrnArticleChangePrice, static_cast<std::int32_t>(NumArt),
                                     NewPrice, password.c_str())));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetArtInfo(int NumArt, BSTR* InfoArt) {
  if (InfoArt == nullptr) return E_POINTER;
  *InfoArt = nullptr;
  return RunGuarded([&] {
    *InfoArt = ArticleRecord(RunFramed(PrnArticleRead, static_cast<std::int32_t>(NumArt)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_FirstArt(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded([&] { *Value = ArticleRecord(RunFramed(PrnArticleFirst)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_NextArt(BSTR* Value) {
  if (Value == nullptr) return E_POINTER;
  *Value = nullptr;
  return RunGuarded([&] { *Value = ArticleRecord(RunFramed(PrnArticleNext)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SetOperatorName(LONG OperatorNum, BSTR Password,
                                                           BSTR OperatorName,
                                                           VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(Password, "Password", kComma);
    const std::string name = ClientText(OperatorName, "OperatorName", kComma);
    if (!OperatorNumberAccepted(OperatorNum)) return;
    *Result = AsBool(RunFramedText(OperatorText(OperatorNum, password, name), PrnSetOperatorName,
                                   static_cast<std::int32_t>(OperatorNum), password.c_str(),
                                   name.c_str()) == Outcome::Succeeded);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SetOperatorPassword(LONG OperatorNum, BSTR OldPassword,
                                                               BSTR NewPassword,
                                                               VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string old_password = ClientText(OldPassword, "OldPassword", kComma);
    const std::string new_password = ClientText(NewPassword, "NewPassword", kComma);
    if (!OperatorNumberAccepted(OperatorNum)) return;
    *Result =
        AsBool(RunFramedText(OperatorText(OperatorNum, old_password, new_password),
                             PrnSetOperatorPassword, static_cast<std::int32_t>(OperatorNum),
                             old_password.c_str(), new_password.c_str()) == Outcome::Succeeded);
  });
}

// Result is declared an [in] pointer in the type library (callers and the library rely on the
// declaration); the entry writes it all the same.
HRESULT STDMETHODCALLTYPE TECRFiscEntries::ClearOperatorPassword(BSTR AdministatorPassword,
                                                                 LONG OperatorNum,
                                                                 VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded([&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(AdministatorPassword, "AdministatorPassword", kComma);
    // "%d,%s"; an operator number outside 1..15 is refused by the wrapper after the pre-read.
    const DataLength data = DataLength().Int(OperatorNum).Chars(1).Text(password);
    *Result =
        AsBool(RunFramedText(data, PrnClearOperatorPassword, static_cast<std::int32_t>(OperatorNum),
                             password.c_str()) == Outcome::Succeeded);
  });
}

}  // namespace molvex
