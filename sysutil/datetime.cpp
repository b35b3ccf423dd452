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

}  // namespace

HMI_EXPORT int datetime_add(int* year, int* month, int* day, int* hour, int* minute, int* second,
                            int offset) {
    int64_t years_since_1900 = given_or(year, 2000) - 1900;
    int64_t month_index = given_or(month, 1) - 1;
    if (years_since_1900 < INT32_MIN || month_index < INT32_MIN) return 0;  // far outside anyway

    // The input is always taken as standard time (daylight-saving flag 0).
    struct tm fields;
    memset(&fields, 0, sizeof fields);
    fields.tm_year = static_cast<int>(years_since_1900);
    fields.tm_mon = static_cast<int>(month_index);
    fields.tm_mday = static_cast<int>(given_or(day, 1));
    fields.tm_hour = static_cast<int>(given_or(hour, 0));
    fields.tm_min = static_cast<int>(given_or(minute, 0));
    fields.tm_sec = static_cast<int>(given_or(second, 0));

    // mktime answers -1 both for a failure and for the last second of 1969; only a
    // conversion that worked fills in the day of the week, which it never reads.
    fields.tm_wday = -1;
    int64_t start = mktime(&fields);
    if (start == -1 && fields.tm_wday == -1) return 0;
    if (!in_panel_range(start)) return 0;

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
