// Moving a local date and time by a number of seconds.
//
// The panel's calendar time is signed 32-bit seconds since the epoch. Every build
// keeps to that range, so that a date converts, or fails, the same on the panel and
// on a desktop: a date outside it, or a shift that would leave it, gives 0.
#include <stdint.h>
#include <string.h>
#include <time.h>

#include "plugin/export.hpp"
#include "plugin/hmi_abi.h"

namespace {

constexpr int64_t kEarliest = INT32_MIN;  // 1901-12-13 20:45:52 UTC
constexpr int64_t kLatest = INT32_MAX;    // 2038-01-19 03:14:07 UTC

bool in_panel_range(int64_t seconds) {
    return seconds >= kEarliest && seconds <= kLatest;
}

// A field the caller gave, or its default: fields not given stand for 2000-01-01 00:00:00.
int64_t given_or(const int* field, int fallback) {
    return field != nullptr ? *field : fallback;
}

void put(int* field, int value) {
    if (field != nullptr) *field = value;
}

// mktime answers -1 both for a failure and for the last second of 1969; only a
// conversion that worked fills in the day of the week, which it never reads.
bool convert(struct tm& fields, int64_t& seconds) {
    fields.tm_wday = -1;
    seconds = mktime(&fields);
    return !(seconds == -1 && fields.tm_wday == -1);
}

bool same_local_time(const struct tm& a, const struct tm& b) {
    return a.tm_year == b.tm_year && a.tm_mon == b.tm_mon && a.tm_mday == b.tm_mday &&
           a.tm_hour == b.tm_hour && a.tm_min == b.tm_min && a.tm_sec == b.tm_sec;
}

// The calendar time of a local date and time, the zone deciding whether it falls in
// daylight-saving time. A local time that the end of daylight saving repeats is taken
// as its first occurrence, still in daylight-saving time, whatever mktime guesses:
// so a time moved back from it stays before it.
bool calendar_time(const struct tm& local, int64_t& seconds) {
    struct tm fields = local;
    fields.tm_isdst = -1;
    if (!convert(fields, seconds)) return false;
    if (fields.tm_isdst != 0) return true;

    struct tm summer = local;
    summer.tm_isdst = 1;
    int64_t earlier;
    if (!convert(summer, earlier) || earlier >= seconds) return true;
    time_t when = static_cast<time_t>(earlier);
    struct tm check;
    if (static_cast<int64_t>(when) != earlier || localtime_r(&when, &check) == nullptr) return true;
    if (check.tm_isdst > 0 && same_local_time(check, fields)) seconds = earlier;
    return true;
}

}  // namespace

HMI_EXPORT int datetime_add(int* year, int* month, int* day, int* hour, int* minute, int* second,
                            int offset) {
    int64_t years_since_1900 = given_or(year, 2000) - 1900;
    int64_t month_index = given_or(month, 1) - 1;
    if (years_since_1900 < INT32_MIN || month_index < INT32_MIN) return 0;  // far outside anyway

    // The zone decides whether the input falls in daylight-saving time, so that a
    // summer date is not taken as standard time and moved an hour on the way back.
    struct tm fields;
    memset(&fields, 0, sizeof fields);
    fields.tm_year = static_cast<int>(years_since_1900);
    fields.tm_mon = static_cast<int>(month_index);
    fields.tm_mday = static_cast<int>(given_or(day, 1));
    fields.tm_hour = static_cast<int>(given_or(hour, 0));
    fields.tm_min = static_cast<int>(given_or(minute, 0));
    fields.tm_sec = static_cast<int>(given_or(second, 0));

    int64_t start;
    if (!calendar_time(fields, start) || !in_panel_range(start)) return 0;

    int64_t shifted = start + offset;
    if (!in_panel_range(shifted)) return 0;
    time_t when = static_cast<time_t>(shifted);
    if (localtime_r(&when, &fields) == nullptr) return 0;

    put(year, fields.tm_year + 1900);
    put(month, fields.tm_mon + 1);
    put(day, fields.tm_mday);
    put(hour, fields.tm_hour);
    put(minute, fields.tm_min);
    put(second, fields.tm_sec);
    return 1;
}
