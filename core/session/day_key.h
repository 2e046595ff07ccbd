// Keys derived from the local calendar day: coder and decoder compute them
// independently, so both must be on the same local day.
#pragma once

#include <cstdint>

#include "core/wire/wire.h"

namespace morbs {

// Key of the day on which `seconds` falls; nullopt-like: false when the
// date cannot be formed.
bool day_key_of(const wire::DayKeyConstants& k, int64_t seconds, uint32_t& key);

// Key of today; 0, or -1 with the fallback key when the clock failed.
int day_key_now(const wire::DayKeyConstants& k, uint32_t& key);

// The message key of today.
int key_number(uint32_t& key);

}  // namespace morbs
