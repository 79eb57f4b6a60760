#include "timearith.h"

#include <climits>
#include <ctime>
#include <sys/time.h>

namespace {

std::tm ToTm(const SYSTEMTIME& t) {
    std::tm tm{};
    tm.tm_year = int(t.wYear) - 1900;
    tm.tm_mon = int(t.wMonth) - 1;
    tm.tm_mday = t.wDay;
    tm.tm_hour = t.wHour;
    tm.tm_min = t.wMinute;
    tm.tm_sec = t.wSecond;
    tm.tm_isdst = -1; // let the library decide daylight saving
    return tm;
}

// Calendar fields of a tm record; a year outside the 16-bit field is clamped
// so a hostile count never wraps around into a plausible date.
SYSTEMTIME FromTm(const std::tm& tm) {
    SYSTEMTIME r{};
    long long year = (long long)tm.tm_year + 1900;
    r.wYear = uint16_t(year < 0 ? 0 : year > 65535 ? 65535 : year);
    r.wMonth = uint16_t(tm.tm_mon + 1);
    r.wDay = uint16_t(tm.tm_mday);
    r.wHour = uint16_t(tm.tm_hour);
    r.wMinute = uint16_t(tm.tm_min);
    r.wSecond = uint16_t(tm.tm_sec);
    return r;
}

} // namespace

long long LocalTimeToSeconds(const SYSTEMTIME& t) {
    std::tm tm = ToTm(t);
    return (long long)std::mktime(&tm);
}

SYSTEMTIME SecondsToLocalTime(long long seconds) {
    std::time_t s = std::time_t(seconds);
    std::tm tm{};
    if (!localtime_r(&s, &tm))
        return SYSTEMTIME{};
    return FromTm(tm);
}

SYSTEMTIME AddSecondsWide(SYSTEMTIME t, long long n) {
    long long s = LocalTimeToSeconds(t);
    long long sum;
    if (__builtin_add_overflow(s, n, &sum))
        sum = n < 0 ? LLONG_MIN : LLONG_MAX;
    return SecondsToLocalTime(sum);
}

SYSTEMTIME AddSeconds(SYSTEMTIME t, int32_t n) {
    return AddSecondsWide(t, n);
}

SYSTEMTIME SubtractSeconds(SYSTEMTIME t, int32_t n) {
    return AddSecondsWide(t, -(long long)n);
}

long long DiffSecondsWide(SYSTEMTIME t1, SYSTEMTIME t2) {
    return LocalTimeToSeconds(t1) - LocalTimeToSeconds(t2);
}

int32_t DiffSeconds(SYSTEMTIME t1, SYSTEMTIME t2) {
    long long d = DiffSecondsWide(t1, t2);
    if (d > INT32_MAX)
        return INT32_MAX;
    if (d < INT32_MIN)
        return INT32_MIN;
    return int32_t(d);
}

int CompareTime(SYSTEMTIME t1, SYSTEMTIME t2) {
    long long a = LocalTimeToSeconds(t1), b = LocalTimeToSeconds(t2);
    return a < b ? -1 : a > b ? 1 : 0;
}

SYSTEMTIME CurrentLocalTime() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm tm{};
    localtime_r(&tv.tv_sec, &tm);
    SYSTEMTIME r = FromTm(tm);
    r.wDayOfWeek = uint16_t(tm.tm_wday);
    r.wMilliseconds = uint16_t(tv.tv_usec / 1000);
    return r;
}

bool GetBit(const uint8_t* bytes, int32_t i) {
    if (i < 0)
        return false;
    return (bytes[i / 8] >> (i % 8)) & 1;
}

void SetBit(uint8_t* bytes, int32_t i) {
    if (i >= 0)
        bytes[i / 8] |= uint8_t(1u << (i % 8));
}

void ClearBit(uint8_t* bytes, int32_t i) {
    if (i >= 0)
        bytes[i / 8] &= uint8_t(~(1u << (i % 8)));
}
