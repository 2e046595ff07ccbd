#include "core/session/day_key.h"

#include "platform/clock.h"

namespace morbs {

bool day_key_of(const wire::DayKeyConstants& k, int64_t seconds, uint32_t& key) {
  auto date = platform::local_date(seconds);
  if (!date) return false;
  int64_t v = (k.a * date->day_of_year_from_1 + k.b * (date->year_since_1900 + k.c) +
               date->month_from_0) * k.d;
  key = static_cast<uint32_t>(v);
  return true;
}

int day_key_now(const wire::DayKeyConstants& k, uint32_t& key) {
  auto t = platform::now();
  if (t && day_key_of(k, t->seconds, key)) return 0;
  key = wire::fallback_key;
  return -1;
}

int key_number(uint32_t& key) { return day_key_now(wire::message_key, key); }

}  // namespace morbs
