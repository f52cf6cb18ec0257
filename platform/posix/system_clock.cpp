#include <ctime>
#include <thread>

#include "platform/clock.h"

namespace molvex {
namespace {

class PosixClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
  }
  void SleepMs(std::int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  LocalDateTime LocalNow() override {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    const std::time_t now = ts.tv_sec;
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalDateTime{tm.tm_year + 1900,
                         tm.tm_mon + 1,
                         tm.tm_mday,
                         tm.tm_hour,
                         tm.tm_min,
                         tm.tm_sec,
                         static_cast<int>(ts.tv_nsec / 1000000)};
  }
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace molvex
