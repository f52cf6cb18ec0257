// The state file: one "key=value" line per item, texts in hex so that any byte survives.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/utf8_names.h"
#include "sim/model/state_file.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr const char* kMagic = "molvex-ecr-state 1";

std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::string Join(const std::vector<std::int64_t>& values) {
  std::string out;
  for (std::size_t i = 0; i < values.size(); ++i) out += (i ? "," : "") + std::to_string(values[i]);
  return out;
}

template <std::size_t N>
std::string Join(const std::array<std::int64_t, N>& a) {
  return Join(std::vector<std::int64_t>(a.begin(), a.end()));
}

bool Numbers(const std::string& text, std::vector<std::int64_t>& out, std::size_t count) {
  const auto f = SplitFields(text);
  if (f.size() != count) return false;
  out.clear();
  for (const std::string& s : f) {
    std::int64_t v = 0;
    if (!ParseInt(s, v, true)) return false;
    out.push_back(v);
  }
  return true;
}

template <std::size_t N>
bool Numbers(const std::string& text, std::array<std::int64_t, N>& a) {
  std::vector<std::int64_t> v;
  if (!Numbers(text, v, N)) return false;
  for (std::size_t i = 0; i < N; ++i) a[i] = v[i];
  return true;
}

std::string Totals(const DayTotals& d) {
  return Join(d.sales) + ";" + Join(d.refunds) + ";" + Join(d.payments) + ";" +
         Join(d.refund_payments) + ";" +
         Join(std::vector<std::int64_t>{d.receipts, d.refund_receipts, d.non_fiscal, d.voided,
                                        d.service_in, d.service_out});
}

bool ParseTotals(const std::string& text, DayTotals& d) {
  const auto parts = SplitFields(text, ';');
  std::vector<std::int64_t> counters;
  if (parts.size() != 5 || !Numbers(parts[0], d.sales) || !Numbers(parts[1], d.refunds) ||
      !Numbers(parts[2], d.payments) || !Numbers(parts[3], d.refund_payments) ||
      !Numbers(parts[4], counters, 6)) {
    return false;
  }
  d.receipts = static_cast<int>(counters[0]);
  d.refund_receipts = static_cast<int>(counters[1]);
  d.non_fiscal = static_cast<int>(counters[2]);
  d.voided = static_cast<int>(counters[3]);
  d.service_in = counters[4];
  d.service_out = counters[5];
  return true;
}

bool ParseLine(DeviceState& s, const std::string& key, const std::string& value) {
  std::vector<std::int64_t> v;
  std::string text;
  if (key == "counters") {
    if (!Numbers(value, v, 4)) return false;
    s.z_number = static_cast<int>(v[0]);
    s.receipt_number = static_cast<int>(v[1]);
    s.document_number = static_cast<int>(v[2]);
    s.cash = v[3];
  } else if (key == "clock") {
    if (!ParseInt(value, s.clock_offset_s, true)) return false;
  } else if (key == "day") {
    return ParseTotals(value, s.day);
  } else if (key == "last_z") {
    return ParseTotals(value, s.last_z);
  } else if (key == "admin") {
    return HexDecode(value, s.admin_password);
  } else if (key == "net") {
    if (!Numbers(value, v, 9)) return false;
    s.net = NetSettings{v[0] != 0,
                        static_cast<std::uint32_t>(v[1]),
                        static_cast<std::uint32_t>(v[2]),
                        static_cast<std::uint32_t>(v[3]),
                        static_cast<std::uint32_t>(v[4]),
                        static_cast<std::uint16_t>(v[5]),
                        static_cast<std::uint16_t>(v[6]),
                        static_cast<std::uint16_t>(v[7]),
                        v[8] != 0};
  } else if (key == "operator") {
    const auto f = SplitFields(value);
    std::int64_t n = 0;
    if (f.size() != 3 || !ParseInt(f[0], n) || n < 1 || n > kOperatorCount) return false;
    Operator& op = s.operators[static_cast<std::size_t>(n)];
    return HexDecode(f[1], op.name) && HexDecode(f[2], op.password);
  } else if (key == "article") {
    const auto f = SplitFields(value);
    if (f.size() != 8) return false;
    std::vector<std::int64_t> n;
    if (!Numbers(f[0] + "," + f[1] + "," + f[2] + "," + f[3] + "," + f[4] + "," + f[5] + "," + f[6],
                 n, 7)) {
      return false;
    }
    if (n[0] < 1 || n[0] > kArticleCount || !PrnIsTaxLetter(n[1]) || n[2] < 0 || n[2] > 99) {
      return false;
    }
    Article a{true, static_cast<std::uint8_t>(n[1]), static_cast<int>(n[2]), n[3], "", n[4],
              n[5], static_cast<int>(n[6])};
    if (!HexDecode(f[7], a.name)) return false;
    s.articles[static_cast<std::size_t>(n[0])] = a;
  } else if (key == "z") {
    if (!Numbers(value, v, 9)) return false;
    s.z_history.push_back(ZRecord{
        static_cast<int>(v[0]),
        LocalDateTime{static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3]),
                      static_cast<int>(v[4]), static_cast<int>(v[5]), 0},
        v[6], v[7], static_cast<int>(v[8])});
  } else if (key == "z_data") {
    return HexDecode(value, s.z_data);
  }
  return true;  // unknown keys of a later version are skipped
}
}  // namespace

std::int64_t ToEpochSeconds(const LocalDateTime& t) {
  return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

LocalDateTime FromEpochSeconds(std::int64_t s) {
  std::int64_t days = s >= 0 ? s / 86400 : -((-s + 86399) / 86400);
  std::int64_t rest = s - days * 86400;
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  LocalDateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

bool SaveState(const DeviceState& s, const std::string& path) {
  std::ostringstream out;
  out << kMagic << "\n";
  out << "counters=" << s.z_number << "," << s.receipt_number << "," << s.document_number << ","
      << s.cash << "\n";
  out << "clock=" << s.clock_offset_s << "\n";
  out << "day=" << Totals(s.day) << "\n";
  out << "last_z=" << Totals(s.last_z) << "\n";
  out << "admin=" << HexEncode(s.admin_password) << "\n";
  const NetSettings& n = s.net;
  out << "net=" << (n.dhcp ? 1 : 0) << "," << n.address << "," << n.mask << "," << n.gateway << ","
      << n.target << "," << n.target_port << "," << n.repeat_period << "," << n.repeat_by_error
      << "," << (n.print_report ? 1 : 0) << "\n";
  for (int i = 1; i <= kOperatorCount; ++i) {
    const Operator& op = s.operators[static_cast<std::size_t>(i)];
    if (op.name.empty() && op.password.empty()) continue;
    out << "operator=" << i << "," << HexEncode(op.name) << "," << HexEncode(op.password) << "\n";
  }
  for (std::size_t i = 1; i < s.articles.size(); ++i) {
    const Article& a = s.articles[i];
    if (!a.used) continue;
    out << "article=" << i << "," << static_cast<int>(a.tax) << "," << a.group << "," << a.price
        << "," << a.sold_quantity << "," << a.sold_sum << "," << a.sales << "," << HexEncode(a.name)
        << "\n";
  }
  for (const ZRecord& z : s.z_history) {
    out << "z=" << z.number << "," << z.when.year << "," << z.when.month << "," << z.when.day << ","
        << z.when.hour << "," << z.when.minute << "," << z.sales << "," << z.refunds << ","
        << z.receipts << "\n";
  }
  out << "z_data=" << HexEncode(s.z_data) << "\n";
  const std::string temp = path + ".new";
  {
    std::ofstream file(Utf8Path(temp), std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << out.str();
    if (!file.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(Utf8Path(temp), Utf8Path(path), ec);
  return !ec;
}

bool LoadState(DeviceState& state, const std::string& path) {
  std::ifstream file(Utf8Path(path), std::ios::binary);
  if (!file) return false;
  std::string line;
  if (!std::getline(file, line) || line != kMagic) return false;
  DeviceState s;
  while (std::getline(file, line)) {
    if (line.empty()) continue;
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    if (!ParseLine(s, line.substr(0, eq), line.substr(eq + 1))) return false;
  }
  state = std::move(s);
  return true;
}

}  // namespace molvex::sim
