#include "sim/model/device.h"

#include <cstdio>

#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kJournalInMemory = 1000;

bool Prints(int command) {
  switch (command) {
    case 38:
    case 39:
    case 42:
    case 45:
    case 48:
    case 51:
    case 52:
    case 53:
    case 54:
    case 56:
    case 57:
    case 58:
    case 69:
    case 73:
    case 79:
    case 85:
    case 88:
    case 94:
    case 95:
    case 109:
    case 111:
    case 116:
    case 120:
    case 235:
    case 236:
      return true;
    default:
      return false;
  }
}
// Commands that only read or touch the display: no reason to write the state file.
bool ChangesState(int command) {
  switch (command) {
    case 33:
    case 35:
    case 37:
    case 47:
    case 62:
    case 63:
    case 64:
    case 65:
    case 74:
    case 76:
    case 113:
    case 167:
    case 255:
      return false;
    default:
      return true;
  }
}
}  // namespace

int BusyMs(int command) {
  switch (command) {
    case 69:
      return 2500;  // X or Z report
    case 73:
    case 79:
    case 94:
    case 95:
      return 3000;  // period reports
    case 111:
    case 235:
    case 236:
      return 2000;  // article report, journal copies
    case 116:
    case 109:
      return 1200;  // one document copy
    case 56:
      return 700;  // totals, footer, cut
    case 48:
    case 85:
    case 38:
      return 400;  // header
    case 39:
    case 45:
    case 57:
      return 300;
    case 52:
    case 58:
    case 53:
    case 120:
    case 51:
      return 150;  // one or two lines
    case 42:
    case 54:
    case 88:
      return 120;
    case 70:
    case 108:
      return 400;  // a slip
    case 61:
    case 107:
    case 101:
    case 102:
    case 119:
    case 36:
      return 60;
    default:
      return 10;  // reads and the display
  }
}

Device::Device(Clock& calendar) : calendar_(calendar) {
  state_.last_sent = LocalDateTime{2026, 1, 15, 9, 45, 0};
}

const std::map<int, Device::Handler>& Device::Handlers() {
  static const std::map<int, Handler> kHandlers = {
      {33, &Device::ClearDisplay},
      {35, &Device::DisplayLower},
      {36, &Device::WriteNet},
      {37, &Device::ReadNet},
      {38, &Device::OpenNonFiscal},
      {39, &Device::CloseNonFiscal},
      {42, &Device::NonFiscalText},
      {45, &Device::CutReceipt},
      {47, &Device::DisplayUpper},
      {48, &Device::OpenFiscal},
      {51, &Device::Subtotal},
      {52, &Device::Sale},
      {53, &Device::Total},
      {54, &Device::FiscalText},
      {56, &Device::CloseFiscal},
      {57, &Device::Cancel},
      {58, &Device::Sale},
      {61, &Device::SetDateTime},
      {62, &Device::GetDateTime},
      {63, &Device::ShowDateTime},
      {64, &Device::LastZInfo},
      {65, &Device::DayTotalsInfo},
      {69, &Device::Report},
      {70, &Device::CashInOut},
      {73, &Device::PeriodByNumberFull},
      {74, &Device::ReadStatus},
      {76, &Device::TransactionStatus},
      {79, &Device::PeriodByDateShort},
      {85, &Device::OpenRefund},
      {88, &Device::Barcode},
      {90, &Device::Diagnostic},
      {94, &Device::PeriodByDateFull},
      {95, &Device::PeriodByNumberShort},
      {101, &Device::SetOperatorPassword},
      {102, &Device::SetOperatorName},
      {106, &Device::OpenDrawer},
      {107, &Device::ArticleCommand},
      {108, &Device::ModemReport},
      {109, &Device::PrintCopy},
      {111, &Device::ArticleReport},
      {113, &Device::LastReceiptNumber},
      {116, &Device::JournalCopy},
      {119, &Device::ClearOperatorPassword},
      {120, &Device::PaymentWithCode},
      {167, &Device::ZData},
      {235, &Device::JournalCopies},
      {236, &Device::JournalTaxReports},
      {255, &Device::Identity},
  };
  return kHandlers;
}

Reply Device::Execute(const Request& request) {
  Reply reply;
  const auto& handlers = Handlers();
  const auto it = handlers.find(request.command);
  if (it == handlers.end()) {
    reply.errors = Bit(Condition::InvalidCommand);
    reply.busy_ms = BusyMs(request.command);
    return reply;
  }
  if (paper_out_ && Prints(request.command)) {
    reply.errors = Bit(Condition::PaperOut);
    return reply;
  }
  reply = (this->*(it->second))(request.data);
  if (reply.busy_ms == 0) reply.busy_ms = reply.errors != 0 ? 10 : BusyMs(request.command);
  if (state_changed_ && ChangesState(request.command)) state_changed_();
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
