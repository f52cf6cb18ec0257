// The network settings (commands 36, 37) and the modem report (108).
#include <cstdio>

#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
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
}  // namespace

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
