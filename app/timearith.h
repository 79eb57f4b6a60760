#pragma once
// Calendar arithmetic on local SYSTEMTIME values and the bit-set helpers.
// Free functions with no state, so they can be used before the application
// object exists; the application object forwards its members to them.
//
// Only year, month, day, hour, minute and second take part. Times go through
// mktime/localtime_r in local time (daylight saving left to the library), so
// results follow the local clock. Results carry day of week 0 and
// milliseconds 0, so stored results are reproducible.

#include "systemtime.h"

#include <cstdint>

SYSTEMTIME AddSeconds(SYSTEMTIME t, int32_t n);
SYSTEMTIME SubtractSeconds(SYSTEMTIME t, int32_t n);
// t + n with a 64-bit count, for row times of long runs (row * interval).
SYSTEMTIME AddSecondsWide(SYSTEMTIME t, long long n);
// Seconds from t2 to t1 (t1 - t2), clamped to the 32-bit range.
int32_t DiffSeconds(SYSTEMTIME t1, SYSTEMTIME t2);
// Same as DiffSeconds without the clamp.
long long DiffSecondsWide(SYSTEMTIME t1, SYSTEMTIME t2);
// -1 if t1 is earlier, 0 if equal to the second, 1 if later.
int CompareTime(SYSTEMTIME t1, SYSTEMTIME t2);

// The current local time, milliseconds included, day of week filled in.
SYSTEMTIME CurrentLocalTime();
// Calendar seconds of t as local time (mktime), and back.
long long LocalTimeToSeconds(const SYSTEMTIME& t);
SYSTEMTIME SecondsToLocalTime(long long seconds);

// Bit i is bit (i mod 8) of byte i / 8. Negative indices are ignored
// (GetBit answers false).
bool GetBit(const uint8_t* bytes, int32_t i);
void SetBit(uint8_t* bytes, int32_t i);
void ClearBit(uint8_t* bytes, int32_t i);
