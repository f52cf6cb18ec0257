// The fiscal printer as a device: executes one command against its state and says what it
// answers, how long it is busy and what it printed. No wire, no timing of bytes: see
// VirtualPrinter for that.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/command_codes.h"
#include "platform/clock.h"
#include "sim/model/conditions.h"
#include "sim/model/request.h"
#include "sim/model/state_file.h"

namespace molvex::sim {

// Fixed identity of the device.
constexpr const char* kModel = "LT7260R";
constexpr const char* kFirmware = "V1.02";
constexpr const char* kFirmwareDate = "101226";
constexpr const char* kSerialNumber = "LT00012345";
constexpr const char* kFiscalNumber = "4400012345";
constexpr const char* kIdentity = "Molvex LT7260R LT00012345 V1.02";

struct Reply {
  std::string data;         // reply data text (Windows-1251)
  ConditionSet errors = 0;  // error conditions of this reply (GeneralError is added)
  int busy_ms = 0;          // time the printer needs before it answers, unscaled
};

// The refusals every group of commands gives: the data cannot be parsed, or the command is not
// allowed in the current state.
inline Reply Syntax() {
  return Reply{"", Bit(Condition::SyntaxError), 0};
}
inline Reply NotAllowed() {
  return Reply{"", Bit(Condition::NotAllowed), 0};
}

enum class ReceiptKind { None, Fiscal, Refund, NonFiscal };

struct ReceiptLine {
  int article = 0;
  std::int64_t quantity = 0;  // thousandths
  std::int64_t amount = 0;    // hundredths, after discount
  int tax = 0;                // 0..4
};

struct OpenReceipt {
  ReceiptKind kind = ReceiptKind::None;
  int operator_number = 0;
  int till = 0;
  std::vector<ReceiptLine> lines;
  std::int64_t sum = 0;   // hundredths
  std::int64_t paid = 0;  // hundredths
  bool paid_in_full = false;
  std::int64_t change = 0;
  std::array<std::int64_t, kPaymentTypes> payments{};
  std::string paper;  // printed so far (Windows-1251, one line per '\n')
};

class Device {
 public:
  // `calendar` gives the host's local time; a fixed time replaces it when set.
  explicit Device(Clock& calendar);

  Reply Execute(const Request& request);

  // The persistent conditions (receipt states, paper, fiscal memory, ...), errors excluded.
  ConditionSet Conditions() const;
  // The status bytes of a reply with these error conditions.
  void Status(ConditionSet errors, std::uint8_t status[6]) const;

  // Power loss: the display is cleared; the open receipt is voided unless `keep_receipt`.
  void PowerCycle(bool keep_receipt);

  void SetFixedTime(const std::optional<LocalDateTime>& t) { fixed_time_ = t; }
  LocalDateTime Now() const;

  void SetPaperOut(bool out) { paper_out_ = out; }
  void SetPaperNearEnd(bool near_end) { paper_near_end_ = near_end; }
  // Every finished document as a person reads it on the roll, UTF-8.
  void SetPaperSink(std::function<void(const std::string&)> sink) { paper_sink_ = std::move(sink); }
  // Called after every command that may have changed the persistent state.
  void SetStateChanged(std::function<void()> changed) { state_changed_ = std::move(changed); }

  DeviceState& state() { return state_; }
  const DeviceState& state() const { return state_; }
  const OpenReceipt& receipt() const { return receipt_; }
  const std::string& display_upper() const { return display_[0]; }
  const std::string& display_lower() const { return display_[1]; }
  bool drawer_opened() const { return drawer_opened_; }
  // The electronic journal in memory: document number -> text (Windows-1251).
  const std::map<int, std::string>& journal() const { return journal_; }

 private:
  using Handler = Reply (Device::*)(const std::string&);
  // One row a command the virtual printer knows.
  struct CommandRow {
    PrnCode code;
    Handler handler;
    int busy_ms;         // before it answers, unscaled
    bool prints;         // paper out refuses it
    bool changes_state;  // the state file is written after it
  };
  static const CommandRow* Find(int command);
  friend int BusyMs(int command);

  // Display, clock, drawer and cutter (display_clock.cpp); status and identity (status.cpp);
  // cash in and out (cash_totals.cpp); network settings and modem report (network.cpp).
  Reply ClearDisplay(const std::string& data);
  Reply DisplayLower(const std::string& data);
  Reply DisplayUpper(const std::string& data);
  Reply SetDateTime(const std::string& data);
  Reply GetDateTime(const std::string& data);
  Reply ShowDateTime(const std::string& data);
  Reply ReadStatus(const std::string& data);
  Reply Diagnostic(const std::string& data);
  Reply Identity(const std::string& data);
  Reply CashInOut(const std::string& data);
  Reply OpenDrawer(const std::string& data);
  Reply CutReceipt(const std::string& data);
  Reply Barcode(const std::string& data);
  Reply WriteNet(const std::string& data);
  Reply ReadNet(const std::string& data);
  Reply ModemReport(const std::string& data);
  // Receipts and bar codes (receipts.cpp).
  Reply OpenFiscal(const std::string& data);
  Reply OpenRefund(const std::string& data);
  Reply Sale(const std::string& data);
  Reply Subtotal(const std::string& data);
  Reply Total(const std::string& data);
  Reply PaymentWithCode(const std::string& data);
  Reply FiscalText(const std::string& data);
  Reply CloseFiscal(const std::string& data);
  Reply Cancel(const std::string& data);
  Reply TransactionStatus(const std::string& data);
  Reply LastReceiptNumber(const std::string& data);
  Reply OpenNonFiscal(const std::string& data);
  Reply NonFiscalText(const std::string& data);
  Reply CloseNonFiscal(const std::string& data);
  Reply PrintCopy(const std::string& data);
  // Reports and the electronic journal (reports.cpp).
  Reply Report(const std::string& data);
  Reply LastZInfo(const std::string& data);
  Reply DayTotalsInfo(const std::string& data);
  Reply PeriodByNumberFull(const std::string& data);
  Reply PeriodByNumberShort(const std::string& data);
  Reply PeriodByDateFull(const std::string& data);
  Reply PeriodByDateShort(const std::string& data);
  Reply ArticleReport(const std::string& data);
  Reply ZData(const std::string& data);
  Reply JournalCopy(const std::string& data);
  Reply JournalCopies(const std::string& data);
  Reply JournalTaxReports(const std::string& data);
  // Articles and operators (articles.cpp).
  Reply ArticleCommand(const std::string& data);
  Reply SetOperatorPassword(const std::string& data);
  Reply SetOperatorName(const std::string& data);
  Reply SetOperatorField(const std::string& data, std::size_t length, std::string Operator::*field);
  Reply ClearOperatorPassword(const std::string& data);

  // Helpers shared by the command files.
  Reply OpenReceiptOf(ReceiptKind kind, const std::string& data);
  Reply Pay(int type, std::int64_t amount, bool comma_after_letter);
  Reply PeriodReport(const std::string& data, bool by_date, bool full);
  bool OperatorPasswordOk(int number, const std::string& password) const;
  bool AdminPasswordOk(const std::string& password) const;
  std::string Header() const;
  std::string DateText() const;  // dd-mm-yy
  std::string TimeText() const;  // hh:mm:ss
  // Ends a document: numbers it in the journal, sends it to the paper.
  int PrintDocument(const std::string& body);
  // Paper only (copies): not numbered, not kept in the journal.
  void PrintPaper(const std::string& text);
  void ResetDay();

  Clock& calendar_;
  std::optional<LocalDateTime> fixed_time_;
  DeviceState state_;
  OpenReceipt receipt_;
  std::string display_[2];
  bool drawer_opened_ = false;
  bool paper_out_ = false;
  bool paper_near_end_ = false;
  int article_cursor_ = 0;  // last article read by F, N or R
  std::string last_receipt_text_;
  std::map<int, std::string> journal_;
  std::function<void(const std::string&)> paper_sink_;
  std::function<void()> state_changed_;
};

// Busy times of the commands, in milliseconds before scaling.
int BusyMs(int command);

}  // namespace molvex::sim

namespace molvex::sim {
// "dd-mm-yy", "ddmmyy" or "dd.mm.yy" as a date; false when it is not a valid date.
bool ParseDeviceDate(const std::string& text, LocalDateTime& t);
}  // namespace molvex::sim
