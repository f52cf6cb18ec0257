#include <windows.h>

#include "platform/clock.h"

namespace molvex {
namespace {

class Win32Clock final : public Clock {
 public:
  std::int64_t MonotonicMs() override { return static_cast<std::int64_t>(GetTickCount64()); }
  void SleepMs(std::int64_t ms) override {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
  }
  LocalDateTime LocalNow() override {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return LocalDateTime{st.wYear,   st.wMonth,  st.wDay,         st.wHour,
                         st.wMinute, st.wSecond, st.wMilliseconds};
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace molvex
