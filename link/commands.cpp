// The command wrappers: each builds its data text and runs one transaction.
#include "link/commands.h"

#include <cstring>

#include "link/text_builder.h"

namespace {

constexpr std::int32_t kRefused1 = -1;
constexpr std::int32_t kRefused2 = -2;
constexpr std::int32_t kRefused3 = -3;
constexpr std::int32_t kRefused4 = -4;

// The request of `command` with `text` as its data text (up to its first zero byte); `built` is
// the length of the text as built, which decides whether it fits a request frame.
PrnRequest Make(std::int32_t command, const char* text, std::size_t built) {
  PrnRequest r;
  r.command = command;
  r.built = built;
  const std::size_t n = strnlen(text, PrnRequest::kCapacity);
  if (n > static_cast<std::size_t>(kPrnMaxData)) {
    r.too_long = true;
    return r;
  }
  std::memcpy(r.data, text, n);
  r.data[n] = '\0';
  r.length = n;
  return r;
}

PrnRequest Make(std::int32_t command, const TextBuilder& text) {
  if (text.overflow()) {
    PrnRequest r;
    r.command = command;
    r.too_long = true;
    r.built = TextBuilder::kCapacity;
    return r;
  }
  return Make(command, text.c_str(), text.size());
}

PrnRequest Make(std::int32_t command) {
  return Make(command, "", 0);
}

PrnRequest MakeText(std::int32_t command, const char* text) {
  if (text == nullptr) text = "";
  return Make(command, text, strnlen(text, PrnRequest::kCapacity));
}

PrnRequest Refuse(std::int32_t command, std::int32_t code) {
  PrnRequest r;
  r.command = command;
  r.refusal = code;
  return r;
}

// A built request refused for an argument: the text stays, so that an entry still learns
// whether it would have fitted.
PrnRequest Refuse(PrnRequest request, std::int32_t code) {
  request.refusal = code;
  return request;
}

std::int32_t Send(PrnWindow window, PrnCallback callback, std::int32_t tag,
                  const PrnRequest& request) {
  const std::int32_t refused = request.Refusal();
  if (refused != PRN_OK) return refused;
  return PrnExecute(window, callback, tag, request.command, request.data);
}

// "%05lu,%s,%05lu" followed by ",I": operator, password, till.
TextBuilder OpenReceiptText(std::uint32_t operator_num, const char* password, std::uint32_t till) {
  TextBuilder t;
  t.Padded(operator_num, 5).Char(',').Text(password).Char(',').Padded(till, 5).Text(",I");
  return t;
}

PrnRequest SaleRequest(std::int32_t command, char sign, std::int32_t article, double quantity,
                       double percent, double discount) {
  const PrnRequest refused = Refuse(command, kRefused1);
  if (!AllFinite(quantity, percent, discount)) return refused;
  if (percent != 0 && discount != 0) return refused;
  if (quantity < 0) return refused;
  if (percent < -99.99 || percent > 99.99) return refused;
  TextBuilder t;
  if (sign == 0) t.Char('-');
  t.Int(article);
  if (quantity > 0) t.Char('*').Fixed(quantity, 3);
  if (percent != 0) t.Char(',').Fixed(percent, 2);
  if (discount != 0) t.Char(';').Fixed(discount, 2);
  return Make(command, t);
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

// The builders: each command's data text from its arguments, or the refusal of an argument.

PrnRequest PrnBuildClearDisplay() {
  return Make(kCmdClearDisplay);
}

PrnRequest PrnBuildDisplayLower(const char* text) {
  return MakeText(kCmdDisplayLower, text);
}

PrnRequest PrnBuildWriteNetParams(const char* text) {
  return MakeText(kCmdWriteNetParams, text);
}

PrnRequest PrnBuildReadNetParams() {
  return Make(kCmdReadNetParams);
}

PrnRequest PrnBuildOpenNonFiscal() {
  return Make(kCmdOpenNonFiscal);
}

PrnRequest PrnBuildCloseNonFiscal() {
  return Make(kCmdCloseNonFiscal);
}

PrnRequest PrnBuildPrintNonFiscal(const char* text) {
  return MakeText(kCmdPrintNonFiscal, text);
}

PrnRequest PrnBuildCutReceipt() {
  return Make(kCmdCutReceipt);
}

PrnRequest PrnBuildDisplayUpper(const char* text) {
  return MakeText(kCmdDisplayUpper, text);
}

PrnRequest PrnBuildOpenFiscal(std::uint32_t operator_num, const char* password,
                              std::uint32_t till) {
  return Make(kCmdOpenFiscal, OpenReceiptText(operator_num, password, till));
}

PrnRequest PrnBuildSubtotal(std::int32_t print, std::int32_t display, double percent,
                            double amount) {
  char flags[3] = {print != 0 ? '1' : '0', display != 0 ? '1' : '0', '\0'};
  if (!AllFinite(percent, amount)) return Refuse(kCmdSubtotal, kRefused1);
  if (percent != 0 && amount != 0) return Refuse(kCmdSubtotal, kRefused1);
  TextBuilder t;
  t.Text(flags);
  if (percent != 0) t.Char(',').Fixed(percent, 2);
  if (amount != 0) t.Char(';').Fixed(amount, 2);
  return Make(kCmdSubtotal, t);
}

PrnRequest PrnBuildSaleDisplay(char sign, std::int32_t article, double quantity, double percent,
                               double discount) {
  return SaleRequest(kCmdSaleDisplay, sign, article, quantity, percent, discount);
}

PrnRequest PrnBuildTotal(const char* text, char payment, double amount) {
  if (!AllFinite(amount)) return Refuse(kCmdTotal, kRefused1);
  TextBuilder t;
  t.Text(text).Char('\t').Char(payment).Fixed(amount, 2);
  return Make(kCmdTotal, t);
}

PrnRequest PrnBuildPrintFiscalText(const char* text) {
  return MakeText(kCmdPrintFiscalText, text);
}

PrnRequest PrnBuildCloseFiscal() {
  return Make(kCmdCloseFiscal);
}

PrnRequest PrnBuildCancelReceipt() {
  return Make(kCmdCancelReceipt);
}

PrnRequest PrnBuildSale(char sign, std::int32_t article, double quantity, double percent,
                        double discount) {
  return SaleRequest(kCmdSale, sign, article, quantity, percent, discount);
}

PrnRequest PrnBuildSetDateTime(const char* date, const char* time) {
  TextBuilder t;
  t.Text(date).Char(' ').Text(time);
  return Make(kCmdSetDateTime, t);
}

PrnRequest PrnBuildGetDateTime() {
  return Make(kCmdGetDateTime);
}

PrnRequest PrnBuildShowDateTime() {
  return Make(kCmdShowDateTime);
}

PrnRequest PrnBuildReport(const char* password, char kind) {
  TextBuilder t;
  t.Text(password).Char(',').Char(kind);
  return Make(kCmdReport, t);
}

PrnRequest PrnBuildCashInOut(double amount) {
  if (!AllFinite(amount)) return Refuse(kCmdCashInOut, kRefused1);
  TextBuilder t;
  if (amount != 0) t.Fixed(amount, 2);
  return Make(kCmdCashInOut, t);
}

PrnRequest PrnBuildPeriodFullByNumber(const char* password, std::int32_t first, std::int32_t last) {
  return Make(kCmdPeriodFullByNumber, NumberRangeText(password, first, last));
}

PrnRequest PrnBuildReadStatus(std::int32_t flag) {
  return MakeText(kCmdReadStatus, flag != 0 ? "X" : "W");
}

PrnRequest PrnBuildTransactionStatus(std::int32_t flag) {
  return MakeText(kCmdTransactionStatus, flag != 0 ? "T" : "");
}

PrnRequest PrnBuildPeriodShortByDate(const char* password, const char* first, const char* last) {
  TextBuilder t;
  t.Text(password).Char(',').Text(first).Char(',').Text(last);
  return Make(kCmdPeriodShortByDate, t);
}

PrnRequest PrnBuildOpenRefund(std::uint32_t operator_num, const char* password,
                              std::uint32_t till) {
  return Make(kCmdOpenRefund, OpenReceiptText(operator_num, password, till));
}

PrnRequest PrnBuildBarcode(std::int32_t digit, const char* text) {
  // Only the low eight bits of the kind count; a zero byte cannot travel in a data text.
  const char kind = static_cast<char>(static_cast<std::uint8_t>(0x30 + digit));
  if (kind == '\0') return Refuse(kCmdBarcode, kRefused1);
  TextBuilder t;
  t.Char(kind).Text(text);
  return Make(kCmdBarcode, t);
}

PrnRequest PrnBuildDiagnostic(std::int32_t flag) {
  return MakeText(kCmdDiagnostic, flag != 0 ? "1" : "0");
}

PrnRequest PrnBuildPeriodFullByDate(const char* password, const char* first, const char* last) {
  TextBuilder t;
  t.Text(password).Char(',').RightAligned(first, 6).Char(',').RightAligned(last, 6);
  return Make(kCmdPeriodFullByDate, t);
}

PrnRequest PrnBuildPeriodShortByNumber(const char* password, std::int32_t first,
                                       std::int32_t last) {
  return Make(kCmdPeriodShortByNumber, NumberRangeText(password, first, last));
}

PrnRequest PrnBuildSetOperatorPassword(std::int32_t operator_num, const char* a, const char* b) {
  return Make(kCmdSetOperatorPassword, OperatorText(operator_num, a, b));
}

PrnRequest PrnBuildSetOperatorName(std::int32_t operator_num, const char* a, const char* b) {
  return Make(kCmdSetOperatorName, OperatorText(operator_num, a, b));
}

PrnRequest PrnBuildOpenDrawer(std::int32_t number) {
  TextBuilder t;
  if (number > 4) t.Int(number);
  return Make(kCmdOpenDrawer, t);
}

PrnRequest PrnBuildArticleProgram(char tax, std::int32_t article, std::int32_t group, double price,
                                  const char* a, const char* b) {
  TextBuilder t;
  t.Char('P').Char(tax).Int(article).Char(',').Int(group).Char(',').Fixed(price, 2);
  t.Char(',').Text(a).Char(',').Text(b);
  const PrnRequest built = Make(kCmdArticle, t);
  const auto letter = static_cast<std::uint8_t>(tax);
  if (article <= 0) return Refuse(built, kRefused1);
  if (!PrnIsTaxLetter(letter)) return Refuse(built, kRefused2);
  if (group < 0 || group > 99) return Refuse(built, kRefused3);
  if (!AllFinite(price) || price <= 0) return Refuse(built, kRefused4);
  return built;
}

PrnRequest PrnBuildArticleDelete(std::int32_t article, const char* text) {
  TextBuilder t;
  if (article == 0) {
    t.Text("DA,").Text(text);
  } else {
    t.Char('D').Int(article).Char(',').Text(text);
  }
  const PrnRequest built = Make(kCmdArticle, t);
  if (article < 0) return Refuse(built, kRefused1);
  return built;
}

PrnRequest PrnBuildArticleChangePrice(std::int32_t article, double price, const char* text) {
  TextBuilder t;
  t.Char('C').Int(article).Char(',').Fixed(price, 2).Char(',').Text(text);
  const PrnRequest built = Make(kCmdArticle, t);
  if (article <= 0 || !AllFinite(price)) return Refuse(built, kRefused1);
  return built;
}

PrnRequest PrnBuildArticleRead(std::int32_t article) {
  if (article < 0) return Refuse(kCmdArticle, kRefused1);
  TextBuilder t;
  t.Char('R').Int(article);
  return Make(kCmdArticle, t);
}

PrnRequest PrnBuildArticleFirst() {
  return MakeText(kCmdArticle, "F");
}

PrnRequest PrnBuildArticleNext() {
  return MakeText(kCmdArticle, "N");
}

PrnRequest PrnBuildModemReport(std::int32_t print) {
  return MakeText(kCmdModemReport, print != 0 ? "1" : "0");
}

PrnRequest PrnBuildPrintCopy(signed char count) {
  TextBuilder t;
  t.Int(count);
  return Make(kCmdPrintCopy, t);
}

PrnRequest PrnBuildArticleReport(const char* password, char kind) {
  if (kind != 'S' && kind != 'P' && kind != 'G') return Refuse(kCmdArticleReport, kRefused1);
  TextBuilder t;
  t.Text(password).Char(',').Char(kind);
  return Make(kCmdArticleReport, t);
}

PrnRequest PrnBuildLastReceiptNumber() {
  return Make(kCmdLastReceiptNumber);
}

PrnRequest PrnBuildEjCopy(std::int32_t number) {
  TextBuilder t;
  t.Int(number);
  return Make(kCmdEjCopy, t);
}

PrnRequest PrnBuildClearOperatorPassword(std::int32_t operator_num, const char* text) {
  TextBuilder t;
  t.Int(operator_num).Char(',').Text(text);
  const PrnRequest built = Make(kCmdClearOperatorPassword, t);
  if (operator_num < 1 || operator_num > 15) return Refuse(built, kRefused1);
  return built;
}

PrnRequest PrnBuildPaymentWithCode(std::int32_t number, double amount, const char* text,
                                   std::int32_t /*ignored*/) {
  TextBuilder t;
  t.Int(number).Char(',').Fixed(amount, 2).Char(',').Text(text);
  const PrnRequest built = Make(kCmdPaymentWithCode, t);
  if (!AllFinite(amount)) return Refuse(built, kRefused1);
  return built;
}

PrnRequest PrnBuildReadZData(std::int32_t chunk) {
  TextBuilder t;
  t.Text("0,0,").Int(chunk);
  return Make(kCmdReadZData, t);
}

PrnRequest PrnBuildEjCopies(std::int32_t first, std::int32_t second) {
  TextBuilder t;
  t.Int(first).Char(',').Int(second);
  return Make(kCmdEjCopies, t);
}

PrnRequest PrnBuildEjTaxReports(std::int32_t number) {
  TextBuilder t;
  t.Int(number);
  return Make(kCmdEjTaxReports, t);
}

PrnRequest PrnBuildDeviceIdentity() {
  return Make(kCmdDeviceIdentity);
}

PrnRequest PrnBuildLastZReport(std::int32_t index) {
  TextBuilder t;
  t.Int(index);
  return Make(kCmdLastZReport, t);
}

PrnRequest PrnBuildDayTotals(std::int32_t index) {
  TextBuilder t;
  t.Int(index);
  return Make(kCmdDayTotals, t);
}

// The wrappers: build, then run the request on the process link.

#define PRN_LEAD PrnWindow window, PrnCallback callback, std::int32_t tag
#define PRN_PASS window, callback, tag
std::int32_t PrnClearDisplay(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildClearDisplay());
}
std::int32_t PrnDisplayLower(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, PrnBuildDisplayLower(text));
}
std::int32_t PrnWriteNetParams(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, PrnBuildWriteNetParams(text));
}
std::int32_t PrnReadNetParams(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildReadNetParams());
}
std::int32_t PrnOpenNonFiscal(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildOpenNonFiscal());
}
std::int32_t PrnCloseNonFiscal(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildCloseNonFiscal());
}
std::int32_t PrnPrintNonFiscal(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, PrnBuildPrintNonFiscal(text));
}
std::int32_t PrnCutReceipt(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildCutReceipt());
}
std::int32_t PrnDisplayUpper(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, PrnBuildDisplayUpper(text));
}
std::int32_t PrnOpenFiscal(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till) {
  return Send(PRN_PASS, PrnBuildOpenFiscal(operator_num, password, till));
}
std::int32_t PrnSubtotal(PRN_LEAD, std::int32_t print, std::int32_t display, double percent,
                         double amount) {
  return Send(PRN_PASS, PrnBuildSubtotal(print, display, percent, amount));
}
std::int32_t PrnSaleDisplay(PRN_LEAD, char sign, std::int32_t article, double quantity,
                            double percent, double discount) {
  return Send(PRN_PASS, PrnBuildSaleDisplay(sign, article, quantity, percent, discount));
}
std::int32_t PrnTotal(PRN_LEAD, const char* text, char payment, double amount) {
  return Send(PRN_PASS, PrnBuildTotal(text, payment, amount));
}
std::int32_t PrnPrintFiscalText(PRN_LEAD, const char* text) {
  return Send(PRN_PASS, PrnBuildPrintFiscalText(text));
}
std::int32_t PrnCloseFiscal(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildCloseFiscal());
}
std::int32_t PrnCancelReceipt(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildCancelReceipt());
}
std::int32_t PrnSale(PRN_LEAD, char sign, std::int32_t article, double quantity, double percent,
                     double discount) {
  return Send(PRN_PASS, PrnBuildSale(sign, article, quantity, percent, discount));
}
std::int32_t PrnSetDateTime(PRN_LEAD, const char* date, const char* time) {
  return Send(PRN_PASS, PrnBuildSetDateTime(date, time));
}
std::int32_t PrnGetDateTime(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildGetDateTime());
}
std::int32_t PrnShowDateTime(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildShowDateTime());
}
std::int32_t PrnReport(PRN_LEAD, const char* password, char kind) {
  return Send(PRN_PASS, PrnBuildReport(password, kind));
}
std::int32_t PrnCashInOut(PRN_LEAD, double amount) {
  return Send(PRN_PASS, PrnBuildCashInOut(amount));
}
std::int32_t PrnPeriodFullByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                   std::int32_t last) {
  return Send(PRN_PASS, PrnBuildPeriodFullByNumber(password, first, last));
}
std::int32_t PrnReadStatus(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, PrnBuildReadStatus(flag));
}
std::int32_t PrnTransactionStatus(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, PrnBuildTransactionStatus(flag));
}
std::int32_t PrnPeriodShortByDate(PRN_LEAD, const char* password, const char* first,
                                  const char* last) {
  return Send(PRN_PASS, PrnBuildPeriodShortByDate(password, first, last));
}
std::int32_t PrnOpenRefund(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till) {
  return Send(PRN_PASS, PrnBuildOpenRefund(operator_num, password, till));
}
std::int32_t PrnBarcode(PRN_LEAD, std::int32_t digit, const char* text) {
  return Send(PRN_PASS, PrnBuildBarcode(digit, text));
}
std::int32_t PrnDiagnostic(PRN_LEAD, std::int32_t flag) {
  return Send(PRN_PASS, PrnBuildDiagnostic(flag));
}
std::int32_t PrnPeriodFullByDate(PRN_LEAD, const char* password, const char* first,
                                 const char* last) {
  return Send(PRN_PASS, PrnBuildPeriodFullByDate(password, first, last));
}
std::int32_t PrnPeriodShortByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                    std::int32_t last) {
  return Send(PRN_PASS, PrnBuildPeriodShortByNumber(password, first, last));
}
std::int32_t PrnSetOperatorPassword(PRN_LEAD, std::int32_t operator_num, const char* a,
                                    const char* b) {
  return Send(PRN_PASS, PrnBuildSetOperatorPassword(operator_num, a, b));
}
std::int32_t PrnSetOperatorName(PRN_LEAD, std::int32_t operator_num, const char* a, const char* b) {
  return Send(PRN_PASS, PrnBuildSetOperatorName(operator_num, a, b));
}
std::int32_t PrnOpenDrawer(PRN_LEAD, std::int32_t number) {
  return Send(PRN_PASS, PrnBuildOpenDrawer(number));
}
std::int32_t PrnArticleProgram(PRN_LEAD, char tax, std::int32_t article, std::int32_t group,
                               double price, const char* a, const char* b) {
  return Send(PRN_PASS, PrnBuildArticleProgram(tax, article, group, price, a, b));
}
std::int32_t PrnArticleDelete(PRN_LEAD, std::int32_t article, const char* text) {
  return Send(PRN_PASS, PrnBuildArticleDelete(article, text));
}
std::int32_t PrnArticleChangePrice(PRN_LEAD, std::int32_t article, double price, const char* text) {
  return Send(PRN_PASS, PrnBuildArticleChangePrice(article, price, text));
}
std::int32_t PrnArticleRead(PRN_LEAD, std::int32_t article) {
  return Send(PRN_PASS, PrnBuildArticleRead(article));
}
std::int32_t PrnArticleFirst(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildArticleFirst());
}
std::int32_t PrnArticleNext(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildArticleNext());
}
std::int32_t PrnModemReport(PRN_LEAD, std::int32_t print) {
  return Send(PRN_PASS, PrnBuildModemReport(print));
}
std::int32_t PrnPrintCopy(PRN_LEAD, signed char count) {
  return Send(PRN_PASS, PrnBuildPrintCopy(count));
}
std::int32_t PrnArticleReport(PRN_LEAD, const char* password, char kind) {
  return Send(PRN_PASS, PrnBuildArticleReport(password, kind));
}
std::int32_t PrnLastReceiptNumber(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildLastReceiptNumber());
}
std::int32_t PrnEjCopy(PRN_LEAD, std::int32_t number) {
  return Send(PRN_PASS, PrnBuildEjCopy(number));
}
std::int32_t PrnClearOperatorPassword(PRN_LEAD, std::int32_t operator_num, const char* text) {
  return Send(PRN_PASS, PrnBuildClearOperatorPassword(operator_num, text));
}
std::int32_t PrnPaymentWithCode(PRN_LEAD, std::int32_t number, double amount, const char* text,
                                std::int32_t /*ignored*/) {
  return Send(PRN_PASS, PrnBuildPaymentWithCode(number, amount, text, 0));
}
std::int32_t PrnReadZData(PRN_LEAD, std::int32_t chunk) {
  return Send(PRN_PASS, PrnBuildReadZData(chunk));
}
std::int32_t PrnEjCopies(PRN_LEAD, std::int32_t first, std::int32_t second) {
  return Send(PRN_PASS, PrnBuildEjCopies(first, second));
}
std::int32_t PrnEjTaxReports(PRN_LEAD, std::int32_t number) {
  return Send(PRN_PASS, PrnBuildEjTaxReports(number));
}
std::int32_t PrnDeviceIdentity(PRN_LEAD) {
  return Send(PRN_PASS, PrnBuildDeviceIdentity());
}
std::int32_t PrnLastZReport(PRN_LEAD, std::int32_t index) {
  return Send(PRN_PASS, PrnBuildLastZReport(index));
}
std::int32_t PrnDayTotals(PRN_LEAD, std::int32_t index) {
  return Send(PRN_PASS, PrnBuildDayTotals(index));
}
