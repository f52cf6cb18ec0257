#include "sim/model/device.h"

#include <cstdio>

#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kJournalInMemory = 1000;
}  // namespace

int BusyMs(int command) {
  const Device::CommandRow* row = Device::Find(command);
  return row != nullptr ? row->busy_ms : 10;  // 10: what the printer takes to refuse a code
}

Device::Device(Clock& calendar) : calendar_(calendar) {
  state_.last_sent = LocalDateTime{2026, 1, 15, 9, 45, 0};
}

// The commands the virtual printer knows, by the link's command codes: handler, busy time in
// milliseconds before scaling (reads and the display 10; a line 120..150; a header 400; a
// receipt's end 700; a document copy 1200; journal copies and the article report 2000; an X or
// Z report 2500; period reports 3000), whether it prints (paper out refuses it) and whether it
// changes what the state file keeps.
const Device::CommandRow* Device::Find(int command) {
  static constexpr CommandRow kCommands[] = {
      {kCmdClearDisplay, &Device::ClearDisplay, 10, false, false},
      {kCmdDisplayLower, &Device::DisplayLower, 10, false, false},
      {kCmdWriteNetParams, &Device::WriteNet, 60, false, true},
      {kCmdReadNetParams, &Device::ReadNet, 10, false, false},
      {kCmdOpenNonFiscal, &Device::OpenNonFiscal, 400, true, true},
      {kCmdCloseNonFiscal, &Device::CloseNonFiscal, 300, true, true},
      {kCmdPrintNonFiscal, &Device::NonFiscalText, 120, true, true},
      {kCmdCutReceipt, &Device::CutReceipt, 300, true, true},
      {kCmdDisplayUpper, &Device::DisplayUpper, 10, false, false},
      {kCmdOpenFiscal, &Device::OpenFiscal, 400, true, true},
      {kCmdSubtotal, &Device::Subtotal, 150, true, true},
      {kCmdSaleDisplay, &Device::Sale, 150, true, true},
      {kCmdTotal, &Device::Total, 150, true, true},
      {kCmdPrintFiscalText, &Device::FiscalText, 120, true, true},
      {kCmdCloseFiscal, &Device::CloseFiscal, 700, true, true},
      {kCmdCancelReceipt, &Device::Cancel, 300, true, true},
      {kCmdSale, &Device::Sale, 150, true, true},
      {kCmdSetDateTime, &Device::SetDateTime, 60, false, true},
      {kCmdGetDateTime, &Device::GetDateTime, 10, false, false},
      {kCmdShowDateTime, &Device::ShowDateTime, 10, false, false},
      {kCmdLastZReport, &Device::LastZInfo, 10, false, false},
      {kCmdDayTotals, &Device::DayTotalsInfo, 10, false, false},
      {kCmdReport, &Device::Report, 2500, true, true},
      {kCmdCashInOut, &Device::CashInOut, 400, false, true},
      {kCmdPeriodFullByNumber, &Device::PeriodByNumberFull, 3000, true, true},
      {kCmdReadStatus, &Device::ReadStatus, 10, false, false},
      {kCmdTransactionStatus, &Device::TransactionStatus, 10, false, false},
      {kCmdPeriodShortByDate, &Device::PeriodByDateShort, 3000, true, true},
      {kCmdOpenRefund, &Device::OpenRefund, 400, true, true},
      {kCmdBarcode, &Device::Barcode, 120, true, true},
      {kCmdDiagnostic, &Device::Diagnostic, 10, false, true},
      {kCmdPeriodFullByDate, &Device::PeriodByDateFull, 3000, true, true},
      {kCmdPeriodShortByNumber, &Device::PeriodByNumberShort, 3000, true, true},
      {kCmdSetOperatorPassword, &Device::SetOperatorPassword, 60, false, true},
      {kCmdSetOperatorName, &Device::SetOperatorName, 60, false, true},
      {kCmdOpenDrawer, &Device::OpenDrawer, 10, false, true},
      {kCmdArticle, &Device::ArticleCommand, 60, false, true},
      {kCmdModemReport, &Device::ModemReport, 400, false, true},
      {kCmdPrintCopy, &Device::PrintCopy, 1200, true, true},
      {kCmdArticleReport, &Device::ArticleReport, 2000, true, true},
      {kCmdLastReceiptNumber, &Device::LastReceiptNumber, 10, false, false},
      {kCmdEjCopy, &Device::JournalCopy, 1200, true, true},
      {kCmdClearOperatorPassword, &Device::ClearOperatorPassword, 60, false, true},
      {kCmdPaymentWithCode, &Device::PaymentWithCode, 150, true, true},
      {kCmdReadZData, &Device::ZData, 10, false, false},
      {kCmdEjCopies, &Device::JournalCopies, 2000, true, true},
      {kCmdEjTaxReports, &Device::JournalTaxReports, 2000, true, true},
      {kCmdDeviceIdentity, &Device::Identity, 10, false, false},
  };
  for (const CommandRow& row : kCommands) {
    if (row.code == command) return &row;
  }
  return nullptr;
}

Reply Device::Execute(const Request& request) {
  Reply reply;
  const CommandRow* row = Find(request.command);
  if (row == nullptr) {
    reply.errors = Bit(Condition::InvalidCommand);
    reply.busy_ms = BusyMs(request.command);
    return reply;
  }
  if (paper_out_ && row->prints) {
    reply.errors = Bit(Condition::PaperOut);
    return reply;
  }
  reply = (this->*(row->handler))(request.data);
  if (reply.busy_ms == 0) reply.busy_ms = reply.errors != 0 ? 10 : row->busy_ms;
  if (state_changed_ && row->changes_state) state_changed_();
  return reply;
}

ConditionSet Device::Conditions() const {
  ConditionSet set = Bit(Condition::SerialNumberSet) | Bit(Condition::TaxRatesSet) |
                     Bit(Condition::Fiscalised) | Bit(Condition::FiscalMemoryFormatted);
  switch (receipt_.kind) {
    case ReceiptKind::Fiscal:
      set |= Bit(Condition::FiscalReceiptOpen);
      break;
    case ReceiptKind::Refund:
      set |= Bit(Condition::FiscalReceiptOpen) | Bit(Condition::RefundReceiptOpen);
      break;
    case ReceiptKind::NonFiscal:
      set |= Bit(Condition::NonFiscalReceiptOpen);
      break;
    case ReceiptKind::None:
      break;
  }
  if (paper_out_) set |= Bit(Condition::PaperOut);
  if (paper_near_end_) set |= Bit(Condition::PaperNearEnd);
  if (state_.z_history.size() >= kFiscalMemoryNearlyFull) {
    set |= Bit(Condition::FiscalMemoryNearlyFull);
  }
  return set;
}

void Device::Status(ConditionSet errors, std::uint8_t status[6]) const {
  ConditionSet set = Conditions() | errors;
  for (const ConditionInfo& info : kConditions) {
    if (info.error && (set & Bit(info.condition)) != 0) set |= Bit(Condition::GeneralError);
  }
  PlaceConditions(set, status);
}

void Device::PowerCycle(bool keep_receipt) {
  display_[0].clear();
  display_[1].clear();
  article_cursor_ = 0;
  if (!keep_receipt && receipt_.kind != ReceiptKind::None) {
    if (receipt_.kind != ReceiptKind::NonFiscal) {
      state_.cash -= receipt_.payments[0] - receipt_.change;
      ++state_.day.voided;
    }
    PrintDocument(receipt_.paper + "*** VOIDED: POWER LOST ***\n");
    receipt_ = OpenReceipt{};
    if (state_changed_) state_changed_();
  }
}

LocalDateTime Device::Now() const {
  const LocalDateTime base = fixed_time_ ? *fixed_time_ : calendar_.LocalNow();
  return FromEpochSeconds(ToEpochSeconds(base) + state_.clock_offset_s);
}

std::string Device::DateText() const {
  const LocalDateTime t = Now();
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%02d", t.day % 100, t.month % 100, t.year % 100);
  return text;
}

std::string Device::TimeText() const {
  const LocalDateTime t = Now();
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
  return text;
}

std::string Device::Header() const {
  std::string h;
  h += PaperLine("         MOLVEX LT7260R") + "\n";
  h += PaperLine(std::string("SN ") + kSerialNumber, std::string("FN ") + kFiscalNumber) + "\n";
  h += PaperLine(DateText(), TimeText()) + "\n";
  h += std::string(32, '-') + "\n";
  return h;
}

int Device::PrintDocument(const std::string& body) {
  const int number = ++state_.document_number;
  std::string text = Header() + body;
  text += PaperLine("DOC", std::to_string(number)) + "\n";
  text += std::string(32, '=') + "\n\n";
  journal_[number] = text;
  while (journal_.size() > kJournalInMemory) journal_.erase(journal_.begin());
  if (paper_sink_) paper_sink_(Cp1251ToUtf8(text));
  return number;
}

void Device::PrintPaper(const std::string& text) {
  if (paper_sink_) paper_sink_(Cp1251ToUtf8(text));
}

bool Device::OperatorPasswordOk(int number, const std::string& password) const {
  if (number < 1 || number > kOperatorCount) return false;
  const std::string& expected = state_.operators[static_cast<std::size_t>(number)].password;
  return expected.empty() || expected == password;
}

bool Device::AdminPasswordOk(const std::string& password) const {
  return state_.admin_password.empty() || state_.admin_password == password;
}

void Device::ResetDay() {
  state_.day = DayTotals{};
  for (Article& a : state_.articles) {
    a.sold_quantity = 0;
    a.sold_sum = 0;
    a.sales = 0;
  }
}

}  // namespace molvex::sim
