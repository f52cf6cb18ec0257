// One builder and one wrapper per printer command. A builder (PrnBuild...) makes the command's
// request as a value before anything is sent: its data text, or the refusal of an argument
// (-1..-4) or PRN_DATA_TOO_LONG. Link::Transact runs it on any link. Every wrapper takes the
// window, callback and tag of PrnExecute, builds the request and runs it on the process link.
// Results: those of PrnExecute, or the request's refusal (nothing is sent).
#pragma once

#include <cstdint>

#include "link/command_codes.h"
#include "link/link.h"

#define PRN_LEAD PrnWindow window, PrnCallback callback, std::int32_t tag

std::int32_t PrnClearDisplay(PRN_LEAD);                    // 33
std::int32_t PrnDisplayLower(PRN_LEAD, const char* text);  // 35
std::int32_t PrnWriteNetParams(PRN_LEAD,
                               const char* text);  // 36: the settings as the entry encodes them
std::int32_t PrnReadNetParams(PRN_LEAD);           // 37
std::int32_t PrnOpenNonFiscal(PRN_LEAD);           // 38
std::int32_t PrnCloseNonFiscal(PRN_LEAD);          // 39
std::int32_t PrnPrintNonFiscal(PRN_LEAD, const char* text);  // 42
std::int32_t PrnCutReceipt(PRN_LEAD);                        // 45
std::int32_t PrnDisplayUpper(PRN_LEAD, const char* text);    // 47
std::int32_t PrnOpenFiscal(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till);  // 48
std::int32_t PrnSubtotal(PRN_LEAD, std::int32_t print, std::int32_t display, double percent,
                         double amount);  // 51
std::int32_t PrnSaleDisplay(PRN_LEAD, char sign, std::int32_t article, double quantity,
                            double percent, double discount);                    // 52
std::int32_t PrnTotal(PRN_LEAD, const char* text, char payment, double amount);  // 53
std::int32_t PrnPrintFiscalText(PRN_LEAD, const char* text);                     // 54
std::int32_t PrnCloseFiscal(PRN_LEAD);                                           // 56
std::int32_t PrnCancelReceipt(PRN_LEAD);                                         // 57
std::int32_t PrnSale(PRN_LEAD, char sign, std::int32_t article, double quantity, double percent,
                     double discount);                                      // 58
std::int32_t PrnSetDateTime(PRN_LEAD, const char* date, const char* time);  // 61
std::int32_t PrnGetDateTime(PRN_LEAD);                                      // 62
std::int32_t PrnShowDateTime(PRN_LEAD);                                     // 63
std::int32_t PrnReport(PRN_LEAD, const char* password, char kind);          // 69
std::int32_t PrnCashInOut(PRN_LEAD, double amount);                         // 70
std::int32_t PrnPeriodFullByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                   std::int32_t last);           // 73
std::int32_t PrnReadStatus(PRN_LEAD, std::int32_t flag);         // 74
std::int32_t PrnTransactionStatus(PRN_LEAD, std::int32_t flag);  // 76
std::int32_t PrnPeriodShortByDate(PRN_LEAD, const char* password, const char* first,
                                  const char* last);  // 79
std::int32_t PrnOpenRefund(PRN_LEAD, std::uint32_t operator_num, const char* password,
                           std::uint32_t till);                           // 85
std::int32_t PrnBarcode(PRN_LEAD, std::int32_t digit, const char* text);  // 88
std::int32_t PrnDiagnostic(PRN_LEAD, std::int32_t flag);                  // 90
std::int32_t PrnPeriodFullByDate(PRN_LEAD, const char* password, const char* first,
                                 const char* last);  // 94
std::int32_t PrnPeriodShortByNumber(PRN_LEAD, const char* password, std::int32_t first,
                                    std::int32_t last);  // 95
std::int32_t PrnSetOperatorPassword(PRN_LEAD, std::int32_t operator_num, const char* a,
                                    const char* b);  // 101
std::int32_t PrnSetOperatorName(PRN_LEAD, std::int32_t operator_num, const char* a,
                                const char* b);             // 102
std::int32_t PrnOpenDrawer(PRN_LEAD, std::int32_t number);  // 106
std::int32_t PrnArticleProgram(PRN_LEAD, char tax, std::int32_t article, std::int32_t group,
                               double price, const char* a, const char* b);       // 107 P
std::int32_t PrnArticleDelete(PRN_LEAD, std::int32_t article, const char* text);  // 107 D
std::int32_t PrnArticleChangePrice(PRN_LEAD, std::int32_t article, double price,
                                   const char* text);         // 107 C
std::int32_t PrnArticleRead(PRN_LEAD, std::int32_t article);  // 107 R
std::int32_t PrnArticleFirst(PRN_LEAD);                       // 107 F
std::int32_t PrnArticleNext(PRN_LEAD);                        // 107 N
std::int32_t PrnModemReport(PRN_LEAD, std::int32_t print);    // 108: "1" prints it, "0" does not
std::int32_t PrnPrintCopy(PRN_LEAD, signed char count);       // 109
std::int32_t PrnArticleReport(PRN_LEAD, const char* password, char kind);  // 111
std::int32_t PrnLastReceiptNumber(PRN_LEAD);                               // 113
std::int32_t PrnEjCopy(PRN_LEAD, std::int32_t number);                     // 116
std::int32_t PrnClearOperatorPassword(PRN_LEAD, std::int32_t operator_num,
                                      const char* text);  // 119
std::int32_t PrnPaymentWithCode(PRN_LEAD, std::int32_t number, double amount, const char* text,
                                std::int32_t ignored);                        // 120
std::int32_t PrnReadZData(PRN_LEAD, std::int32_t chunk);                      // 167: "0,0,%d"
std::int32_t PrnEjCopies(PRN_LEAD, std::int32_t first, std::int32_t second);  // 235
std::int32_t PrnEjTaxReports(PRN_LEAD, std::int32_t number);                  // 236
std::int32_t PrnDeviceIdentity(PRN_LEAD);                                     // 255
std::int32_t PrnLastZReport(PRN_LEAD, std::int32_t index);                    // 64: totals index
std::int32_t PrnDayTotals(PRN_LEAD, std::int32_t index);                      // 65: totals index

#undef PRN_LEAD

// The builders, one per wrapper above, with the same arguments.
PrnRequest PrnBuildClearDisplay();
PrnRequest PrnBuildDisplayLower(const char* text);
PrnRequest PrnBuildWriteNetParams(const char* text);
PrnRequest PrnBuildReadNetParams();
PrnRequest PrnBuildOpenNonFiscal();
PrnRequest PrnBuildCloseNonFiscal();
PrnRequest PrnBuildPrintNonFiscal(const char* text);
PrnRequest PrnBuildCutReceipt();
PrnRequest PrnBuildDisplayUpper(const char* text);
PrnRequest PrnBuildOpenFiscal(std::uint32_t operator_num, const char* password, std::uint32_t till);
PrnRequest PrnBuildSubtotal(std::int32_t print, std::int32_t display, double percent,
                            double amount);
PrnRequest PrnBuildSaleDisplay(char sign, std::int32_t article, double quantity, double percent,
                               double discount);
PrnRequest PrnBuildTotal(const char* text, char payment, double amount);
PrnRequest PrnBuildPrintFiscalText(const char* text);
PrnRequest PrnBuildCloseFiscal();
PrnRequest PrnBuildCancelReceipt();
PrnRequest PrnBuildSale(char sign, std::int32_t article, double quantity, double percent,
                        double discount);
PrnRequest PrnBuildSetDateTime(const char* date, const char* time);
PrnRequest PrnBuildGetDateTime();
PrnRequest PrnBuildShowDateTime();
PrnRequest PrnBuildReport(const char* password, char kind);
PrnRequest PrnBuildCashInOut(double amount);
PrnRequest PrnBuildPeriodFullByNumber(const char* password, std::int32_t first, std::int32_t last);
PrnRequest PrnBuildReadStatus(std::int32_t flag);
PrnRequest PrnBuildTransactionStatus(std::int32_t flag);
PrnRequest PrnBuildPeriodShortByDate(const char* password, const char* first, const char* last);
PrnRequest PrnBuildOpenRefund(std::uint32_t operator_num, const char* password, std::uint32_t till);
PrnRequest PrnBuildBarcode(std::int32_t digit, const char* text);
PrnRequest PrnBuildDiagnostic(std::int32_t flag);
PrnRequest PrnBuildPeriodFullByDate(const char* password, const char* first, const char* last);
PrnRequest PrnBuildPeriodShortByNumber(const char* password, std::int32_t first, std::int32_t last);
PrnRequest PrnBuildSetOperatorPassword(std::int32_t operator_num, const char* a, const char* b);
PrnRequest PrnBuildSetOperatorName(std::int32_t operator_num, const char* a, const char* b);
PrnRequest PrnBuildOpenDrawer(std::int32_t number);
PrnRequest PrnBuildArticleProgram(char tax, std::int32_t article, std::int32_t group, double price,
                                  const char* a, const char* b);
PrnRequest PrnBuildArticleDelete(std::int32_t article, const char* text);
PrnRequest PrnBuildArticleChangePrice(std::int32_t article, double price, const char* text);
PrnRequest PrnBuildArticleRead(std::int32_t article);
PrnRequest PrnBuildArticleFirst();
PrnRequest PrnBuildArticleNext();
PrnRequest PrnBuildModemReport(std::int32_t print);
PrnRequest PrnBuildPrintCopy(signed char count);
PrnRequest PrnBuildArticleReport(const char* password, char kind);
PrnRequest PrnBuildLastReceiptNumber();
PrnRequest PrnBuildEjCopy(std::int32_t number);
PrnRequest PrnBuildClearOperatorPassword(std::int32_t operator_num, const char* text);
PrnRequest PrnBuildPaymentWithCode(std::int32_t number, double amount, const char* text,
                                   std::int32_t /*ignored*/);
PrnRequest PrnBuildReadZData(std::int32_t chunk);
PrnRequest PrnBuildEjCopies(std::int32_t first, std::int32_t second);
PrnRequest PrnBuildEjTaxReports(std::int32_t number);
PrnRequest PrnBuildDeviceIdentity();
PrnRequest PrnBuildLastZReport(std::int32_t index);
PrnRequest PrnBuildDayTotals(std::int32_t index);

// Where passwords stand in a data text of `command` (the article command 107 by its operation
// letter), from the command's row: `count` passwords, one after the other, the first after
// `commas` commas. For the protocol trace, which masks them. {0, 0} when the text carries none.
struct PrnPasswordPlace {
  int commas;
  int count;
};
PrnPasswordPlace PrnPasswordField(std::int32_t command, const char* data);
