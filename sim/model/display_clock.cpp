// Display, clock, status, identity, cash in and out, drawer, cutter, bar codes, network.
#include <cstdio>

#include "tools/sim/device.h"
#include "tools/sim/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kDisplayWidth = 20;

Reply Syntax() {
  return Reply{"", Bit(Condition::SyntaxError), 0};
}
Reply NotAllowed() {
  return Reply{"", Bit(Condition::NotAllowed), 0};
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

// Four hex digits, low byte first (8000 = 0x1F40 gives 401F).
std::string Hex16LowFirst(std::uint16_t value) {
  return Hex(value & 0xFFu, 2) + Hex(static_cast<std::uint32_t>(value >> 8), 2);
}

bool ParseHex(const std::string& text, std::size_t digits, std::uint32_t& value) {
  if (text.size() != digits) return false;
  value = 0;
  for (char c : text) {
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (v < 0) return false;
    value = value * 16 + static_cast<std::uint32_t>(v);
  }
  return true;
}

// "dd-mm-yy" or "ddmmyy" and "hh:mm[:ss]".
bool ParseDate(const std::string& text, LocalDateTime& t) {
  std::string digits;
  for (char c : text) {
    if (c != '-' && c != '.') digits += c;
  }
  std::int64_t v = 0;
  if (digits.size() != 6 || !ParseInt(digits, v)) return false;
  t.day = static_cast<int>(v / 10000);
  t.month = static_cast<int>(v / 100 % 100);
  t.year = 2000 + static_cast<int>(v % 100);
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > kDays[t.month - 1]) return false;
  if (t.month == 2 && t.day == 29 && t.year % 4 != 0) return false;
  return true;
}

bool ParseTime(const std::string& text, LocalDateTime& t) {
  const auto parts = SplitFields(text, ':');
  if (parts.size() < 2 || parts.size() > 3) return false;
  std::int64_t h = 0, m = 0, s = 0;
  if (parts[0].size() != 2 || parts[1].size() != 2 || !ParseInt(parts[0], h) ||
      !ParseInt(parts[1], m)) {
    return false;
  }
  if (parts.size() == 3 && (parts[2].size() != 2 || !ParseInt(parts[2], s))) return false;
  if (h > 23 || m > 59 || s > 59) return false;
  t.hour = static_cast<int>(h);
  t.minute = static_cast<int>(m);
  t.second = static_cast<int>(s);
  return true;
}
}  // namespace

bool ParseDeviceDate(const std::string& text, LocalDateTime& t) {
  return ParseDate(text, t);
}

Reply Device::ClearDisplay(const std::string&) {
  display_[0].clear();
  display_[1].clear();
  return {};
}

Reply Device::DisplayLower(const std::string& data) {
  display_[1] = data.substr(0, kDisplayWidth);
  return {};
}

Reply Device::DisplayUpper(const std::string& data) {
  display_[0] = data.substr(0, kDisplayWidth);
  return {};
}

Reply Device::SetDateTime(const std::string& data) {
  const auto space = data.find(' ');
  LocalDateTime t{};
  if (space == std::string::npos || !ParseDate(data.substr(0, space), t) ||
      !ParseTime(data.substr(space + 1), t)) {
    return Syntax();
  }
  if (receipt_.kind != ReceiptKind::None) return NotAllowed();
  // The clock may not go back before the last Z report stored in the fiscal memory.
  if (!state_.z_history.empty() &&
      ToEpochSeconds(t) < ToEpochSeconds(state_.z_history.back().when)) {
    return NotAllowed();
  }
  const LocalDateTime base = fixed_time_ ? *fixed_time_ : calendar_.LocalNow();
  state_.clock_offset_s = ToEpochSeconds(t) - ToEpochSeconds(base);
  return {};
}

Reply Device::GetDateTime(const std::string&) {
  return Reply{DateText() + " " + TimeText(), 0, 0};
}

Reply Device::ShowDateTime(const std::string&) {
  display_[0] = DateText();
  display_[1] = TimeText();
  return {};
}

Reply Device::ReadStatus(const std::string& data) {
  if (!data.empty() && data != "W" && data != "X") return Syntax();
  return {};
}

Reply Device::Diagnostic(const std::string& data) {
  if (data != "0" && data != "1") return Syntax();
  // The first 20 characters: model, firmware version and firmware date, separated by blanks.
  std::string text = std::string(kModel) + " " + kFirmware + " " + kFirmwareDate;
  text += ",3A7F,00000000,5,";
  text += kSerialNumber;
  text += ",";
  text += kFiscalNumber;
  if (data == "1") {
    PrintDocument(PaperLine("DIAGNOSTICS") + "\n" + PaperLine("FIRMWARE", kFirmware) + "\n" +
                  PaperLine("CHECKSUM", "3A7F") + "\n");
  }
  return Reply{text, 0, 0};
}

Reply Device::Identity(const std::string&) {
  return Reply{kIdentity, 0, 0};
}

Reply Device::CashInOut(const std::string& data) {
  if (!data.empty()) {
    std::int64_t amount = 0;
    if (!ParseFixed(data, 2, amount) || amount == 0) return Syntax();
    if (receipt_.kind != ReceiptKind::None) return NotAllowed();
    if (amount > 0) {
      if (state_.cash > 99999999999 - amount) return Reply{"", Bit(Condition::Overflow), 0};
      state_.cash += amount;
      state_.day.service_in += amount;
    } else {
      if (-amount > state_.cash) return NotAllowed();
      state_.cash += amount;
      state_.day.service_out -= amount;
    }
    PrintDocument(PaperLine(amount > 0 ? "SERVICE IN" : "SERVICE OUT",
                            FormatFixed(amount > 0 ? amount : -amount, 2)) +
                  "\n" + PaperLine("CASH IN DRAWER", FormatFixed(state_.cash, 2)) + "\n");
  }
  return Reply{std::to_string(state_.cash) + "," + std::to_string(state_.day.service_in) + "," +
                   std::to_string(state_.day.service_out),
               0, 0};
}

Reply Device::OpenDrawer(const std::string& data) {
  std::int64_t pulse = 0;
  if (!data.empty() && !ParseInt(data, pulse)) return Syntax();
  drawer_opened_ = true;
  return {};
}

Reply Device::CutReceipt(const std::string&) {
  return {};
}

Reply Device::Barcode(const std::string& data) {
  if (data.size() < 2 || data[0] < '1' || data[0] > '4') return Syntax();
  const std::string code = data.substr(1);
  for (char c : code) {
    if (c < 0x20 || c > 0x7E) return Syntax();
  }
  const std::string printed = PaperLine("||| " + code + " |||") + "\n";
  if (receipt_.kind != ReceiptKind::None) {
    receipt_.paper += printed;
  } else {
    PrintDocument(printed);
  }
  return Reply{std::to_string(code.size()), 0, 0};
}

Reply Device::WriteNet(const std::string& data) {
  const auto f = SplitFields(data);
  if (f.size() != 8 || (f[0] != "0" && f[0] != "1")) return Syntax();
  NetSettings net = state_.net;
  std::uint32_t address[4] = {};
  for (std::size_t i = 0; i < 4; ++i) {
    if (!ParseHex(f[1 + i], 8, address[i])) return Syntax();
  }
  std::uint32_t number[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::string& text = f[5 + i];
    std::uint32_t raw = 0;
    if (!ParseHex(text, 4, raw)) return Syntax();
    number[i] = ((raw >> 8) & 0xFFu) | ((raw & 0xFFu) << 8);  // low byte first on the wire
  }
  net.print_report = f[0] == "1";
  net.address = address[0];
  net.mask = address[1];
  net.gateway = address[2];
  net.target = address[3];
  net.target_port = static_cast<std::uint16_t>(number[0]);
  net.repeat_period = static_cast<std::uint16_t>(number[1]);
  net.repeat_by_error = static_cast<std::uint16_t>(number[2]);
  state_.net = net;
  return {};
}

Reply Device::ReadNet(const std::string&) {
  const NetSettings& n = state_.net;
  return Reply{std::string(n.dhcp ? "1" : "0") + "," + Hex(n.address, 8) + "," + Hex(n.mask, 8) +
                   "," + Hex(n.gateway, 8) + "," + Hex(n.target, 8) + "," +
                   Hex16LowFirst(n.target_port) + "," + Hex16LowFirst(n.repeat_period) + "," +
                   Hex16LowFirst(n.repeat_by_error),
               0, 0};
}

Reply Device::ModemReport(const std::string& data) {
  if (data != "0" && data != "1") return Syntax();
  // Condition byte: bit 3 identification set, bit 6 network cable connected.
  const std::uint32_t condition = 0x48;
  auto date = [](const LocalDateTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d-%02d-%02d", t.day % 100, t.month % 100, t.year % 100);
    return std::string(text);
  };
  auto time = [](const LocalDateTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", t.hour % 100, t.minute % 100);
    return std::string(text);
  };
  const std::string text = Hex(condition, 2) + "," + date(state_.last_sent) + "," +
                           time(state_.last_sent) + "," + date(state_.personalised) + "," +
                           time(state_.personalised);
  if (data == "1") {
    PrintDocument(PaperLine("MODEM REPORT") + "\n" + PaperLine("CONDITION", Hex(condition, 2)) +
                  "\n" +
                  PaperLine("LAST SENT", date(state_.last_sent) + " " + time(state_.last_sent)) +
                  "\n" + PaperLine("PERSONALISED", date(state_.personalised)) + "\n");
  }
  return Reply{text, 0, 0};
}

}  // namespace molvex::sim
