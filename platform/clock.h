// Time seams: a monotonic millisecond clock that can sleep, and the local calendar time.
#pragma once

#include <cstdint>

namespace molvex {

struct LocalDateTime {
  int year = 2000;      // four digits
  int month = 1;        // 1..12
  int day = 1;          // 1..31
  int hour = 0;         // 0..23
  int minute = 0;       // 0..59
  int second = 0;       // 0..59
  int millisecond = 0;  // 0..999
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t MonotonicMs() = 0;
  virtual void SleepMs(std::int64_t ms) = 0;
  virtual LocalDateTime LocalNow() = 0;
};

// The machine's own clock.
Clock& SystemClock();

// A clock that moves only when told to (or when something sleeps on it): time-outs become instant.
class FakeClock final : public Clock {
 public:
  std::int64_t MonotonicMs() override { return now_ms_; }
  void SleepMs(std::int64_t ms) override {
    if (ms > 0) now_ms_ += ms;
  }
  LocalDateTime LocalNow() override { return local_; }

  void Advance(std::int64_t ms) { SleepMs(ms); }
  void SetLocal(const LocalDateTime& t) { local_ = t; }

 private:
  std::int64_t now_ms_ = 0;
  LocalDateTime local_{};
};

}  // namespace molvex
