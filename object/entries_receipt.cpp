// Fiscal receipt entries: open a sale or refund receipt, sell, subtotal, pay, print text lines,
// close or cancel, the zero receipt, a copy and a bar code, and the reads of the receipt's sum,
// paid sum, number and kind. The receipt itself lives in the printer: nothing is kept here.
// (SellArticul, the sale by name and price, is in entries_sell_articul.cpp.)
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "link/commands.h"
#include "object/TECRFiscImpl.h"
#include "object/automation_text.h"
#include "object/call_pattern.h"
#include "object/object_error.h"

namespace molvex {
namespace {

constexpr std::size_t kFiscalTextLength = 24;  // longest text line inside a fiscal receipt
constexpr LONG kBarcodeFailed = -3;

// Payment letters of command 53, by payment type 0..3.
constexpr char kPaymentLetters[] = {kPrnPaymentLetters[0], kPrnPaymentLetters[1],
                                    kPrnPaymentLetters[3], kPrnPaymentLetters[2]};

// The sign part of a sale: "-" for false.
char SaleSign(VARIANT_BOOL sign) {
  return sign != VARIANT_FALSE ? 1 : 0;
}

// The article of a sale by number: 1 and above. "-1" would be the correction of article 1 (its
// earlier line taken back) and "0" no article; refused before anything is sent.
bool ArticleNumberAccepted(PrinterContext& ctx, LONG number) {
  if (number >= 1) return true;
  SaveRefusal(ctx);
  return false;
}

// A reply that passed the failure mask but cannot be read as the entry needs it counts as a
// failed reply: its error word and status bytes are saved already, the call status becomes -2.
void TakeAsFailed(PrinterContext& ctx) {
  ctx.state.CallStatus = kCallFailed;
}

// The operator and till numbers of commands 48 and 85 travel as five digits: a negative number
// would travel as ten (its unsigned value), a larger one as more than five, both read by the
// printer as another operator or till. Refused, before anything is sent.
bool OperatorAndTillFit(PrinterContext& ctx, int operator_num, int till) {
  constexpr int kFiveDigits = 99999;
  if (operator_num >= 0 && operator_num <= kFiveDigits && till >= 0 && till <= kFiveDigits) {
    return true;
  }
  SaveRefusal(ctx);
  return false;
}

// OpenFiscReceipt and OpenRefundReceipt: the open command after the pre-read; a sale first
// reads the status with "X", which must pass.
// The numbers travel as unsigned 32-bit values.
void OpenReceipt(PrinterContext& ctx,
                 PrnRequest (*build)(std::uint32_t, const char*, std::uint32_t), bool read_x_first,
                 int operator_num, int till, BSTR password, VARIANT_BOOL* Result) {
  *Result = VARIANT_FALSE;
  const std::string text = ClientText(ctx, password, "OperatorPSW", kComma);
  if (!OperatorAndTillFit(ctx, operator_num, till)) return;
  const PrnRequest open = build(static_cast<std::uint32_t>(operator_num), text.c_str(),
                                static_cast<std::uint32_t>(till));
  if (!PortTestFitsAndPreRead(ctx, open)) return;
  if (read_x_first && RunSaved(ctx, PrnBuildReadStatus, 1) != Outcome::Succeeded) return;
  *Result = AsBool(RunSavedRequest(ctx, open));
}

// An amount of the printer's in hundredths: reply field `number` as a decimal integer of at most
// 15 digits. A larger one is no amount a receipt holds, and its units would not be exact in a
// double: it could be paid or reported with other cents than the printer's.
bool ReplyAmount(const PrinterContext& ctx, int number, std::int64_t& hundredths) {
  constexpr std::int64_t kLargestAmount = 999'999'999'999'999;
  return ReplyInteger(ctx, number, hundredths) && hundredths <= kLargestAmount &&
         hundredths >= -kLargestAmount;
}

// What is still due on the open receipt, in hundredths: command 76 with "T", field 3 (the sum)
// less field 4 (paid so far). False when the call ends here, its outcome saved: the command
// refused or failed, fields 3 and 4 that are not decimal integers (a failed reply: nothing is
// paid on a sum the object cannot read), or a negative rest (refused).
bool RestDue(PrinterContext& ctx, std::int64_t& rest) {
  if (RunSaved(ctx, PrnBuildTransactionStatus, 1) != Outcome::Succeeded) return false;
  std::int64_t sum = 0;
  std::int64_t paid = 0;
  if (!ReplyAmount(ctx, 3, sum) || !ReplyAmount(ctx, 4, paid) ||
      __builtin_sub_overflow(sum, paid, &rest)) {
    TakeAsFailed(ctx);
    return false;
  }
  if (rest < 0) {
    SaveRefusal(ctx);
    return false;
  }
  return true;
}

bool PaymentAccepted(double amount, int type) {
  return std::isfinite(amount) && amount >= 0 && type >= 0 && type <= 3;
}

// The amount of Payment and NewPayment: `summa` as asked, or for 0 the rest the printer reads.
// False when the call ends here, its outcome saved (a refused amount or type, or see RestDue).
bool AmountToPay(PrinterContext& ctx, double summa, int type, double& amount) {
  if (!PaymentAccepted(summa, type)) {
    SaveRefusal(ctx);
    return false;
  }
  amount = summa;
  if (summa != 0) return true;
  std::int64_t rest = 0;
  if (!RestDue(ctx, rest)) return false;
  amount = CurrencyUnits(rest);
  return true;
}

// GetReceiptSum and GetReceiptPay: command 76, one field of its reply in currency units.
void ReceiptAmount(PrinterContext& ctx, std::int32_t flag, int field, double* value) {
  *value = -1.0;
  if (!PortTestAndPreRead(ctx)) return;
  if (RunSaved(ctx, PrnBuildTransactionStatus, flag) != Outcome::Succeeded) return;
  std::int64_t hundredths = 0;
  if (!ReplyAmount(ctx, field, hundredths)) {
    TakeAsFailed(ctx);
    return;
  }
  *value = CurrencyUnits(hundredths);
}

}  // namespace

HRESULT STDMETHODCALLTYPE TECRFiscEntries::OpenFiscReceipt(int OperatorNum, int POSNum,
                                                           BSTR OperatorPSW, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    OpenReceipt(ctx, PrnBuildOpenFiscal, true, OperatorNum, POSNum, OperatorPSW, Result);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::OpenRefundReceipt(int OperatorNum, int POSNum,
                                                             BSTR OperatorPSW,
                                                             VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    OpenReceipt(ctx, PrnBuildOpenRefund, false, OperatorNum, POSNum, OperatorPSW, Result);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SellArtCash(VARIANT_BOOL Sign, LONG NumArt, double Quant,
                                                       double Perc, double dc,
                                                       VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!ArticleNumberAccepted(ctx, NumArt)) return;
    *Result = AsBool(RunFramed(ctx, PrnBuildSale, SaleSign(Sign), static_cast<std::int32_t>(NumArt),
                               Quant, Perc, dc));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SellArtCashDS(VARIANT_BOOL Sign, LONG NumArt,
                                                         double Quant, double Perc, double dc,
                                                         VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!ArticleNumberAccepted(ctx, NumArt)) return;
    *Result = AsBool(RunFramed(ctx, PrnBuildSaleDisplay, SaleSign(Sign),
                               static_cast<std::int32_t>(NumArt), Quant, Perc, dc));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::SubTotalDS(VARIANT_BOOL Print, VARIANT_BOOL Display,
                                                      double Perc, double DS,
                                                      VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = AsBool(RunFramed(ctx, PrnBuildSubtotal, Print != VARIANT_FALSE ? 1 : 0,
                               Display != VARIANT_FALSE ? 1 : 0, Perc, DS));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::Payment(double Summa, int type, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead(ctx)) return;
    double amount = 0;
    if (!AmountToPay(ctx, Summa, type, amount)) return;
    *Result = AsBool(RunSaved(ctx, PrnBuildTotal, "", kPaymentLetters[type], amount));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::NewPayment(VARIANT_BOOL KSEF, double Summa, int TypePmt,
                                                      BSTR CodeTrasaction, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  if (KSEF == VARIANT_FALSE || TypePmt == 0) return Payment(Summa, TypePmt, Result);
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string code = ClientText(ctx, CodeTrasaction, "CodeTrasaction", kComma);
    // "%i,%-#.2lf,%s". Paying the rest, the amount is only known from the printer: a code that
    // fits beside 0.00 but not beside the rest is refused by the link, after the status query.
    if (!PortTestFitsAndPreRead(ctx, PrnBuildPaymentWithCode(TypePmt, Summa, code.c_str(), 0))) {
      return;
    }
    double amount = 0;
    if (!AmountToPay(ctx, Summa, TypePmt, amount)) return;
    *Result = AsBool(RunSaved(ctx, PrnBuildPaymentWithCode, TypePmt, amount, code.c_str(), 0));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::StrPrntCash(BSTR Str1, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string text = ClientText(ctx, Str1, "Str1");
    // Judged before the port test.
    if (text.size() > kFiscalTextLength || text == "0") {
      SaveRefusal(ctx);
      return;
    }
    const PrnRequest line = PrnBuildPrintFiscalText(text.c_str());
    if (!PortTestFitsAndPreRead(ctx, line)) return;
    if (text.empty()) {  // nothing to print; the saved error word and status bytes stay
      ctx.state.CallStatus = kCallSucceeded;
      *Result = VARIANT_TRUE;
      return;
    }
    *Result = AsBool(RunSavedRequest(ctx, line));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::CloseFiscReceipt(VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { *Result = AsBool(RunFramed(ctx, PrnBuildCloseFiscal)); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::ReceiptCancel(VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead(ctx)) return;
    if (RunSaved(ctx, PrnBuildReadStatus, 0) != Outcome::Succeeded) return;
    *Result = AsBool(RunSaved(ctx, PrnBuildCancelReceipt));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::NullReceipt(int OperatorNum, int POSNum,
                                                       BSTR OperatorPSW, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    const std::string password = ClientText(ctx, OperatorPSW, "OperatorPSW", kComma);
    if (!OperatorAndTillFit(ctx, OperatorNum, POSNum)) return;
    const PrnRequest open =
        PrnBuildOpenFiscal(static_cast<std::uint32_t>(OperatorNum), password.c_str(),
                           static_cast<std::uint32_t>(POSNum));
    if (!PortTestFitsAndPreRead(ctx, open)) return;
    // Status, open, pay nothing in cash, close: each only after the one before passed.
    if (RunSaved(ctx, PrnBuildReadStatus, 0) != Outcome::Succeeded) return;
    if (RunSavedRequest(ctx, open) != Outcome::Succeeded) return;
    if (RunSaved(ctx, PrnBuildTotal, "", 'P', 0.0) != Outcome::Succeeded) return;
    *Result = AsBool(RunSaved(ctx, PrnBuildCloseFiscal));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::DoCopy(LONG Num, VARIANT_BOOL* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = VARIANT_FALSE;
    if (!PortTestAndPreRead(ctx)) return;
    if (Num < 1 || Num > 2) {
      SaveRefusal(ctx);
      return;
    }
    *Result = AsBool(RunSaved(ctx, PrnBuildPrintCopy, static_cast<signed char>(Num)));
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::MakeBarcode(LONG type, BSTR Data, LONG* Result) {
  if (Result == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Result = 0;
    const std::string data = ClientText(ctx, Data, "Data");
    // The kind travels as one character, "0" plus the type: only 0..9 give a digit.
    if (type < 0 || type > 9) {
      SaveRefusal(ctx);
      return;
    }
    const PrnRequest barcode = PrnBuildBarcode(static_cast<std::int32_t>(type), data.c_str());
    if (!PortTestFitsAndPreRead(ctx, barcode)) return;
    Outcome outcome = RunSaved(ctx, PrnBuildReadStatus, 0);
    if (outcome == Outcome::Succeeded) outcome = RunSavedRequest(ctx, barcode);
    if (outcome == Outcome::Refused) return;
    std::int64_t value = 0;
    if (outcome == Outcome::Succeeded &&
        (!ReplyInteger(ctx, 1, value) || value < std::numeric_limits<LONG>::min() ||
         value > std::numeric_limits<LONG>::max())) {
      TakeAsFailed(ctx);
      outcome = Outcome::Failed;
    }
    if (outcome == Outcome::Failed) {
      *Result = kBarcodeFailed;
      return;
    }
    *Result = static_cast<LONG>(value);
    PreRead(ctx);  // the same status read after the bar code: its outcome is not looked at
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetReceiptSum(double* Sum) {
  if (Sum == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { ReceiptAmount(ctx, 0, 3, Sum); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::GetReceiptPay(double* Pay) {
  if (Pay == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] { ReceiptAmount(ctx, 1, 4, Pay); });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_NumbRec(int* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Value = -1;
    if (!PortTestAndPreRead(ctx)) return;
    if (!RunCommand(ctx, PrnBuildLastReceiptNumber)) {
      SaveRefusal(ctx);
      return;
    }
    // The reply's error word and status bytes are saved; the call status only changes when
    // there is no number: no complete reply, no fields, or a field that is no number.
    ObjectState& state = ctx.state;
    const std::int32_t status = state.CallStatus;
    SaveOutcome(ctx);
    state.CallStatus = status;
    std::int64_t number = 0;
    if ((state.LastResult.ErrorWord & kErrNoReply) != 0 || state.LastResult.FieldCount == 0 ||
        !ReplyInteger(ctx, 1, number) || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max()) {
      state.CallStatus = kCallFailed;
      return;
    }
    *Value = static_cast<int>(number);
  });
}

HRESULT STDMETHODCALLTYPE TECRFiscEntries::get_Receipt(LONG* Value) {
  if (Value == nullptr) return E_POINTER;
  return RunGuarded(ctx, [&] {
    *Value = -1;
    if (!PortTestAndPreRead(ctx)) return;
    if (RunSaved(ctx, PrnBuildReadStatus, 1) != Outcome::Succeeded) return;
    // Bit 11: a non-fiscal receipt; bit 10: a fiscal one, a refund when bit 7 is set too.
    const std::uint32_t word = ctx.state.LastResult.ErrorWord;
    const auto bit = [word](int n) { return ((word >> n) & 1u) != 0; };
    *Value = bit(11) ? 3 : bit(10) ? (bit(7) ? 2 : 1) : 0;
  });
}

}  // namespace molvex
