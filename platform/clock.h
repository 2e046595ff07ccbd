// Wall clock, local calendar and sleeps, with a seam that lets tests decide
// what "now" is and whether time moves.
#pragma once

#include <cstdint>
#include <optional>

namespace morbs::platform {

struct WallTime {
  int64_t seconds = 0;
  long nanoseconds = 0;
};

// The local calendar fields the day keys are made of.
struct LocalDate {
  int year_since_1900 = 0;
  int month_from_0 = 0;
  int day_of_year_from_1 = 1;
};

// Current real time; nullopt when the clock cannot be read.
std::optional<WallTime> now();

// Local calendar date of a time stamp; nullopt when it cannot be converted.
std::optional<LocalDate> local_date(int64_t seconds);

void sleep_microseconds(long us);

// While one exists, now() answers from it and sleeps move its time instead
// of the process's: tests of date-dependent keys run fast and repeatable.
class TestClock {
 public:
  enum class Mode { advances_with_sleeps, frozen, broken };
  explicit TestClock(WallTime start, Mode mode = Mode::advances_with_sleeps);
  ~TestClock();
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  void set(WallTime t) { now_ = t; }
  WallTime get() const { return now_; }

 private:
  friend std::optional<WallTime> now();
  friend void sleep_microseconds(long us);
  WallTime now_;
  Mode mode_;
};

}  // namespace morbs::platform
