#include "platform/clock.h"

#include <ctime>
#include <time.h>
#include <unistd.h>

namespace morbs::platform {

namespace {
TestClock* installed = nullptr;
}

TestClock::TestClock(WallTime start, Mode mode) : now_(start), mode_(mode) {
  installed = this;
}

TestClock::~TestClock() { installed = nullptr; }

std::optional<WallTime> now() {
  if (installed) {
    if (installed->mode_ == TestClock::Mode::broken) return std::nullopt;
    return installed->now_;
  }
  timespec ts{};
  if (clock_gettime(CLOCK_REALTIME, &ts) != 0) return std::nullopt;
  return WallTime{static_cast<int64_t>(ts.tv_sec), ts.tv_nsec};
}

std::optional<LocalDate> local_date(int64_t seconds) {
  time_t t = static_cast<time_t>(seconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
  return LocalDate{tm.tm_year, tm.tm_mon, tm.tm_yday + 1};
}

void sleep_microseconds(long us) {
  if (installed) {
    if (installed->mode_ == TestClock::Mode::advances_with_sleeps) {
      int64_t ns = installed->now_.nanoseconds + (us % 1000000) * 1000;
      installed->now_.seconds += us / 1000000 + ns / 1000000000;
      installed->now_.nanoseconds = static_cast<long>(ns % 1000000000);
    }
    return;
  }
  timespec ts{us / 1000000, (us % 1000000) * 1000};
  while (nanosleep(&ts, &ts) != 0) {
  }
}

}  // namespace morbs::platform
