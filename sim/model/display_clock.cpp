// The display (33, 35, 47), the clock (61, 62, 63), the drawer (106) and the cutter (45).
#include <cstdio>

#include "sim/model/device.h"
#include "sim/model/text_util.h"

namespace molvex::sim {

namespace {
constexpr std::size_t kDisplayWidth = 20;

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

Reply Device::OpenDrawer(const std::string& data) {
  std::int64_t pulse = 0;
  if (!data.empty() && !ParseInt(data, pulse)) return Syntax();
  drawer_opened_ = true;
  return {};
}

Reply Device::CutReceipt(const std::string&) {
  return {};
}

}  // namespace molvex::sim
