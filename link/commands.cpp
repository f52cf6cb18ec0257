// The command wrappers: each builds its data text and runs one transaction.
#include "link/commands.h"

#include "link/text_builder.h"

namespace {

constexpr std::int32_t kRefused1 = -1;
constexpr std::int32_t kRefused2 = -2;
constexpr std::int32_t kRefused3 = -3;
constexpr std::int32_t kRefused4 = -4;

std::int32_t Send(PrnWindow window, PrnCallback callback, std::int32_t tag, std::int32_t command,
                  const TextBuilder& text) {
  if (text.overflow()) return PRN_DATA_TOO_LONG;
  return PrnExecute(window, callback, tag, command, text.c_str());
}

std::int32_t Send(PrnWindow window, PrnCallback callback, std::int32_t tag, std::int32_t command,
                  const char* text = "") {
  return PrnExecute(window, callback, tag, command, text == nullptr ? "" : text);
}

// "%05lu,%s,%05lu" followed by ",I": operator, password, till.
TextBuilder OpenReceiptText(std::uint32_t operator_num, const char* password, std::uint32_t till) {
  TextBuilder t;
  t.Padded(operator_num, 5).Char(',').Text(password).Char(',').Padded(till, 5).Text(",I");
  return t;
}

std::int32_t SaleCommand(PrnWindow window, PrnCallback callback, std::int32_t tag,
                         std::int32_t command, char sign, std::int32_t article, double quantity,
                         double percent, double discount) {
  if (!AllFinite(quantity, percent, discount)) return kRefused1;
  if (percent != 0 && discount != 0) return kRefused1;
  if (quantity < 0) return kRefused1;
  if (percent < -99.99 || percent > 99.99) return kRefused1;
  TextBuilder t;
  if (sign == 0) t.Char('-');
  t.Int(article);
  if (quantity > 0) t.Char('*').Fixed(quantity, 3);
  if (percent != 0) t.Char(',').Fixed(percent, 2);
  if (discount != 0) t.Char(';').Fixed(discount, 2);
  return Send(window, callback, tag, command, t);
}

// "%s,%04d,%04d": password and two report numbers.
TextBuilder NumberRangeText(const char* password, std::int32_t first, std::int32_t last) {
  TextBuilder t;
  t.Text(password).Char(',').Padded(first, 4).Char(',').Padded(last, 4);
  return t;
}

TextBuilder OperatorText(std::int32_t operator_num, const char* a, const char* b) {
  TextBuilder t;
  t.Int(operator_num).Char(',').Text(a).Char(',').Text(b);
  return t;
}

}  // namespace

#define PRN_LEAD PrnWindow window, PrnCallback callback, std::int32_t tag
#define PRN_PASS window, callback, tag

std::int32_t PrnClearDisplay(PRN_LEAD) {
  return Send(PRN_PASS, kCmdClearDisplay);
}
std::int32_t PrnDisplayLower(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, kCmdDisplayLower, text);
}
std::int32_t PrnWriteNetParams(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, kCmdWriteNetParams, text);
}
std::int32_t PrnReadNetParams(PRN_LEAD) {
  return Send(PRN_PASS, kCmdReadNetParams);
}
std::int32_t PrnOpenNonFiscal(PRN_LEAD) {
  return Send(PRN_PASS, kCmdOpenNonFiscal);
}
std::int32_t PrnCloseNonFiscal(PRN_LEAD) {
  return Send(PRN_PASS, kCmdCloseNonFiscal);
}
std::int32_t PrnPrintNonFiscal(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, kCmdPrintNonFiscal, text);
}
std::int32_t PrnCutReceipt(PRN_LEAD) {
  return Send(PRN_PASS, kCmdCutReceipt);
}
std::int32_t PrnDisplayUpper(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, kCmdDisplayUpper, text);
}

std::int32_t PrnOpenFiscal(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till) {
  return Send(PRN_PASS, kCmdOpenFiscal, OpenReceiptText(operator_num, password, till));
}

std::int32_t PrnSubtotal(PRN_LEAD, std::int32_t print, std::int32_t display, double percent,
                         double amount) {
  char flags[3] = {print != 0 ? '1' : '0', display != 0 ? '1' : '0', '\0'};
  if (!AllFinite(percent, amount)) return kRefused1;
  if (percent != 0 && amount != 0) return kRefused1;
  TextBuilder t;
  t.Text(flags);
  if (percent != 0) t.Char(',').Fixed(percent, 2);
  if (amount != 0) t.Char(';').Fixed(amount, 2);
  return Send(PRN_PASS, kCmdSubtotal, t);
}

std::int32_t PrnSaleDisplay(PRN_LEAD, char sign, std::int32_t article, double quantity,
                            double percent, double discount) {
  return SaleCommand(PRN_PASS, kCmdSaleDisplay, sign, article, quantity, percent, discount);
}

std::int32_t PrnTotal(PRN_LEAD, const char* text, char payment, double amount) {
  if (!AllFinite(amount)) return kRefused1;
  TextBuilder t;
  t.Text(text).Char('\t').Char(payment).Fixed(amount, 2);
  return Send(PRN_PASS, kCmdTotal, t);
}

std::int32_t PrnPrintFiscalText(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, kCmdPrintFiscalText, text);
}
std::int32_t PrnCloseFiscal(PRN_LEAD) {
  return Send(PRN_PASS, kCmdCloseFiscal);
}
std::int32_t PrnCancelReceipt(PRN_LEAD) {
  return Send(PRN_PASS, kCmdCancelReceipt);
}

std::int32_t PrnSale(PRN_LEAD, char sign, std::int32_t article, double quantity, double percent,
                     double discount) {
  return SaleCommand(PRN_PASS, kCmdSale, sign, article, quantity, percent, discount);
}

std::int32_t PrnSetDateTime(PRN_LEAD, const char* date, const char* time) {
  TextBuilder t;
  t.Text(date).Char(' ').Text(time);
  return Send(PRN_PASS, kCmdSetDateTime, t);
}
std::int32_t PrnGetDateTime(PRN_LEAD) {
  return Send(PRN_PASS, kCmdGetDateTime);
}
std::int32_t PrnShowDateTime(PRN_LEAD) {
  return Send(PRN_PASS, kCmdShowDateTime);
}

std::int32_t PrnReport(PRN_LEAD, const char* password, char kind) {
  TextBuilder t;
  t.Text(password).Char(',').Char(kind);
  return Send(PRN_PASS, kCmdReport, t);
}

std::int32_t PrnCashInOut(PRN_LEAD, double amount) {
  if (!AllFinite(amount)) return kRefused1;
  TextBuilder t;
  if (amount != 0) t.Fixed(amount, 2);
  return Send(PRN_PASS, kCmdCashInOut, t);
}

std::int32_t PrnPeriodFullByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                   std::int32_t last) {
  return Send(PRN_PASS, kCmdPeriodFullByNumber, NumberRangeText(password, first, last));
}

std::int32_t PrnReadStatus(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, kCmdReadStatus, flag != 0 ? "X" : "W");
}

std::int32_t PrnTransactionStatus(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, kCmdTransactionStatus, flag != 0 ? "T" : "");
}

std::int32_t PrnPeriodShortByDate(PRN_LEAD, const char* password, const char* first,
                                  const char* last) {
  TextBuilder t;
  t.Text(password).Char(',').Text(first).Char(',').Text(last);
  return Send(PRN_PASS, kCmdPeriodShortByDate, t);
}

std::int32_t PrnOpenRefund(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till) {
  return Send(PRN_PASS, kCmdOpenRefund, OpenReceiptText(operator_num, password, till));
}

std::int32_t PrnBarcode(PRN_LEAD, std::int32_t digit, const char* text) {
  // Only the low eight bits of the kind count; a zero byte cannot travel in a data text.
  const char kind = static_cast<char>(static_cast<std::uint8_t>(0x30 + digit));
  if (kind == '\0') return kRefused1;
  TextBuilder t;
  t.Char(kind).Text(text);
  return Send(PRN_PASS, kCmdBarcode, t);
}

std::int32_t PrnDiagnostic(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, kCmdDiagnostic, flag != 0 ? "1" : "0");
}

std::int32_t PrnPeriodFullByDate(PRN_LEAD, const char* password, const char* first,
                                 const char* last) {
  TextBuilder t;
  t.Text(password).Char(',').RightAligned(first, 6).Char(',').RightAligned(last, 6);
  return Send(PRN_PASS, kCmdPeriodFullByDate, t);
}

std::int32_t PrnPeriodShortByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                    std::int32_t last) {
  return Send(PRN_PASS, kCmdPeriodShortByNumber, NumberRangeText(password, first, last));
}

std::int32_t PrnSetOperatorPassword(PRN_LEAD, std::int32_t operator_num, const char* a,
                                    const char* b) {
  return Send(PRN_PASS, kCmdSetOperatorPassword, OperatorText(operator_num, a, b));
}

std::int32_t PrnSetOperatorName(PRN_LEAD, std::int32_t operator_num, const char* a, const char* b) {
  return Send(PRN_PASS, kCmdSetOperatorName, OperatorText(operator_num, a, b));
}

std::int32_t PrnOpenDrawer(PRN_LEAD, std::int32_t number) {
  TextBuilder t;
  if (number > 4) t.Int(number);
  return Send(PRN_PASS, kCmdOpenDrawer, t);
}

std::int32_t PrnArticleProgram(PRN_LEAD, char tax, std::int32_t article, std::int32_t group,
                               double price, const char* a, const char* b) {
  const auto letter = static_cast<std::uint8_t>(tax);
  if (article <= 0) return kRefused1;
  if (!PrnIsTaxLetter(letter)) return kRefused2;
  if (group < 0 || group > 99) return kRefused3;
  if (!AllFinite(price) || price <= 0) return kRefused4;
  TextBuilder t;
  t.Char('P').Char(tax).Int(article).Char(',').Int(group).Char(',').Fixed(price, 2);
  t.Char(',').Text(a).Char(',').Text(b);
  return Send(PRN_PASS, kCmdArticle, t);
}

std::int32_t PrnArticleDelete(PRN_LEAD, std::int32_t article, const char* text) {
  if (article < 0) return kRefused1;
  TextBuilder t;
  if (article == 0) {
    t.Text("DA,").Text(text);
  } else {
    t.Char('D').Int(article).Char(',').Text(text);
  }
  return Send(PRN_PASS, kCmdArticle, t);
}

std::int32_t PrnArticleChangePrice(PRN_LEAD, std::int32_t article, double price, const char* text) {
  if (article <= 0) return kRefused1;
  if (!AllFinite(price)) return kRefused1;
  TextBuilder t;
  t.Char('C').Int(article).Char(',').Fixed(price, 2).Char(',').Text(text);
  return Send(PRN_PASS, kCmdArticle, t);
}

std::int32_t PrnArticleRead(PRN_LEAD, std::int32_t article) {
  if (article < 0) return kRefused1;
  TextBuilder t;
  t.Char('R').Int(article);
  return Send(PRN_PASS, kCmdArticle, t);
}

std::int32_t PrnArticleFirst(PRN_LEAD) {
  return Send(PRN_PASS, kCmdArticle, "F");
}
std::int32_t PrnArticleNext(PRN_LEAD) {
  return Send(PRN_PASS, kCmdArticle, "N");
}

std::int32_t PrnModemReport(PRN_LEAD, std::int32_t print) {
  return Send(PRN_PASS, kCmdModemReport, print != 0 ? "1" : "0");
}

std::int32_t PrnPrintCopy(PRN_LEAD, signed char count) {
  TextBuilder t;
  t.Int(count);
  return Send(PRN_PASS, kCmdPrintCopy, t);
}

std::int32_t PrnArticleReport(PRN_LEAD, const char* password, char kind) {
  if (kind != 'S' && kind != 'P' && kind != 'G') return kRefused1;
  TextBuilder t;
  t.Text(password).Char(',').Char(kind);
  return Send(PRN_PASS, kCmdArticleReport, t);
}

std::int32_t PrnLastReceiptNumber(PRN_LEAD) {
  return Send(PRN_PASS, kCmdLastReceiptNumber);
}

std::int32_t PrnEjCopy(PRN_LEAD, std::int32_t number) {
  TextBuilder t;
  t.Int(number);
  return Send(PRN_PASS, kCmdEjCopy, t);
}

std::int32_t PrnClearOperatorPassword(PRN_LEAD, std::int32_t operator_num, const char* text) {
  if (operator_num < 1 || operator_num > 15) return kRefused1;
  TextBuilder t;
  t.Int(operator_num).Char(',').Text(text);
  return Send(PRN_PASS, kCmdClearOperatorPassword, t);
}

std::int32_t PrnPaymentWithCode(PRN_LEAD, std::int32_t number, double amount, const char* text,
                                std::int32_t /*ignored*/) {
  if (!AllFinite(amount)) return kRefused1;
  TextBuilder t;
  t.Int(number).Char(',').Fixed(amount, 2).Char(',').Text(text);
  return Send(PRN_PASS, kCmdPaymentWithCode, t);
}

std::int32_t PrnReadZData(PRN_LEAD, std::int32_t chunk) {
  TextBuilder t;
  t.Text("0,0,").Int(chunk);
  return Send(PRN_PASS, kCmdReadZData, t);
}

std::int32_t PrnEjCopies(PRN_LEAD, std::int32_t first, std::int32_t second) {
  TextBuilder t;
  t.Int(first).Char(',').Int(second);
  return Send(PRN_PASS, kCmdEjCopies, t);
}

std::int32_t PrnEjTaxReports(PRN_LEAD, std::int32_t number) {
  TextBuilder t;
  t.Int(number);
  return Send(PRN_PASS, kCmdEjTaxReports, t);
}

std::int32_t PrnDeviceIdentity(PRN_LEAD) {
  return Send(PRN_PASS, kCmdDeviceIdentity);
}
