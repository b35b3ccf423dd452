// Window "6": the curve's range around the current time, and its range properties.
#include <stdlib.h>
#include <time.h>

#include "tests/support/panel.hpp"

namespace hmi::test {
namespace {

struct Date {
    int year, month, day, hour, minute, second;
};

void use_zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

struct tm fields_of(const Date& d) {
    struct tm t = {};
    t.tm_year = d.year - 1900;
    t.tm_mon = d.month - 1;
    t.tm_mday = d.day;
    t.tm_hour = d.hour;
    t.tm_min = d.minute;
    t.tm_sec = d.second;
    return t;
}

// The host's current time for a local date in the zone in use.
uint32_t at(const Date& d) {
    struct tm t = fields_of(d);
    t.tm_isdst = -1;
    return static_cast<uint32_t>(mktime(&t));
}

// The host's current time for a date in universal time.
uint32_t utc(const Date& d) {
    struct tm t = fields_of(d);
    return static_cast<uint32_t>(timegm(&t));
}

constexpr const char* kFields[] = {"year", "month", "day", "hour", "min", "sec"};

class CurveRange : public PanelTest {
  protected:
    CurveRange() {
        use_zone("UTC");
        for (const char* field : kFields) {
            set<int32_t>((std::string("test.start") + field).c_str(), -1);
            set<int32_t>((std::string("test.end") + field).c_str(), -1);
        }
        set<uint8_t>("curve.redraw", 0);
    }
    ~CurveRange() override { use_zone("UTC"); }

    std::string range() {
        std::string text;
        for (const char* end : {"start", "end"}) {
            char line[64];
            auto field = [&](const char* name) {
                return get<int32_t>((std::string("test.") + end + name).c_str());
            };
            std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d", field("year"),
                          field("month"), field("day"), field("hour"), field("min"), field("sec"));
            text += (text.empty() ? "" : " to ") + std::string(line);
        }
        return text;
    }
};

TEST_F(CurveRange, OpeningWritesTheStartThenTheEndFromTheSecondUp) {
    set<uint32_t>("system.CurDateTime", at({2025, 1, 1, 0, 20, 0}));
    fire("6_window_open");
    EXPECT_EQ(trace(),
              "set curve.redraw = 1\n"
              "set test.startsec = 0\nset test.startmin = 30\nset test.starthour = 23\n"
              "set test.startday = 31\nset test.startmonth = 12\nset test.startyear = 2024\n"
              "set test.endsec = 0\nset test.endmin = 25\nset test.endhour = 0\n"
              "set test.endday = 1\nset test.endmonth = 1\nset test.endyear = 2025\n");
    EXPECT_EQ(range(), "2024-12-31 23:30:00 to 2025-01-01 00:25:00");
}

TEST_F(CurveRange, SpansFiftyMinutesBackAndFiveAheadAcrossDayMonthAndYearEnds) {
    struct Case {
        const char* zone;
        Date now;
        const char* range;
    } cases[] = {
        {"UTC", {2023, 2, 28, 23, 58, 0}, "2023-02-28 23:08:00 to 2023-03-01 00:03:00"},
        {"UTC", {2024, 2, 29, 0, 40, 0}, "2024-02-28 23:50:00 to 2024-02-29 00:45:00"},
        {"UTC", {2024, 12, 31, 23, 57, 30}, "2024-12-31 23:07:30 to 2025-01-01 00:02:30"},
        {"UTC", {2024, 3, 31, 23, 59, 59}, "2024-03-31 23:09:59 to 2024-04-01 00:04:59"},
        {"UTC", {2024, 6, 15, 12, 0, 0}, "2024-06-15 11:10:00 to 2024-06-15 12:05:00"},
        {"Asia/Shanghai", {2025, 1, 1, 0, 20, 0}, "2024-12-31 23:30:00 to 2025-01-01 00:25:00"},
        {"CST-8", {2024, 3, 1, 0, 10, 0}, "2024-02-29 23:20:00 to 2024-03-01 00:15:00"},
        // Five minutes ahead would pass the end of the calendar time: that shift fails,
        // so the end is the current time and the start 55 minutes before it.
        {"UTC", {2038, 1, 19, 3, 10, 0}, "2038-01-19 02:15:00 to 2038-01-19 03:10:00"},
    };
    for (const Case& c : cases) {
        use_zone(c.zone);
        set<uint32_t>("system.CurDateTime", at(c.now));
        for (const char* key : {"6_window_open", "6_picture84_click"}) {
            set<int32_t>("test.startyear", -1);
            fire(key);
            EXPECT_EQ(range(), c.range) << key << " in " << c.zone;
            EXPECT_EQ(get<uint8_t>("curve.redraw"), 1);
        }
    }
}

// Central European time: the range is read on the local clock, 50 minutes back and
// 5 ahead, in summer and winter; on the days the clocks change, its start and end are
// 55 minutes apart in passing time and the start never lies after the end.
TEST_F(CurveRange, LiesAroundTheCurrentTimeInAZoneWithDaylightSaving) {
    struct Case {
        Date now;  // universal time
        const char* range;
    } cases[] = {
        {{2025, 7, 1, 12, 0, 0}, "2025-07-01 13:10:00 to 2025-07-01 14:05:00"},     // 14:00
        {{2025, 1, 15, 13, 0, 0}, "2025-01-15 13:10:00 to 2025-01-15 14:05:00"},    // 14:00
        {{2025, 3, 30, 0, 58, 0}, "2025-03-30 01:08:00 to 2025-03-30 03:03:00"},    // 01:58
        {{2025, 3, 30, 1, 20, 0}, "2025-03-30 01:30:00 to 2025-03-30 03:25:00"},    // 03:20
        {{2025, 10, 25, 23, 58, 0}, "2025-10-26 01:08:00 to 2025-10-26 02:03:00"},  // 01:58
        {{2025, 10, 26, 1, 10, 0}, "2025-10-26 01:20:00 to 2025-10-26 02:15:00"},   // 02:10, again
        {{2025, 10, 26, 2, 0, 0}, "2025-10-26 02:10:00 to 2025-10-26 03:05:00"},    // 03:00
        {{2025, 10, 26, 2, 30, 0}, "2025-10-26 02:40:00 to 2025-10-26 03:35:00"},   // 03:30
    };
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "Europe/Berlin"}) {
        use_zone(zone);
        for (const Case& c : cases) {
            set<uint32_t>("system.CurDateTime", utc(c.now));
            for (const char* key : {"6_window_open", "6_picture84_click"}) {
                set<int32_t>("test.startyear", -1);
                fire(key);
                EXPECT_EQ(range(), c.range) << key << " in " << zone << " at " << utc(c.now);
            }
        }
    }
}

TEST_F(CurveRange, SettingTheSameRangeAgainWritesOnlyARedrawThatWasCleared) {
    set<uint32_t>("system.CurDateTime", at({2025, 5, 20, 8, 0, 0}));
    fire("6_window_open");
    trace();
    fire("6_window_open");
    EXPECT_EQ(trace(), "");
    set<uint8_t>("curve.redraw", 0);  // the curve widget took the range
    fire("6_picture84_click");
    EXPECT_EQ(trace(), "set curve.redraw = 1\n");
}

TEST_F(CurveRange, ResetPictureIsAFunctionOfItsOwn) {
    EXPECT_NE(event("6_picture84_click"), event("6_window_open"));
    EXPECT_EQ(event("6_window_close"), nullptr);
}

TEST_F(CurveRange, LimitsShowTheLow16BitsOfTheirTags) {
    int32_t stored = 70000;
    for (const char* end : {"start", "end"}) {
        for (const char* field : kFields) {
            std::string tag = std::string("test.") + end + field;
            std::string key = std::string("6_hiscurve1_") + end + field;
            set<int32_t>(tag.c_str(), stored);
            uint16_t shown = 0;
            EXPECT_EQ(poll(key, shown), 1) << key;
            EXPECT_EQ(shown, stored & 0xFFFF) << key;
            EXPECT_EQ(poll(key, shown), 0) << key;
            stored += 1;
        }
    }
    set<int32_t>("test.endsec", 70000);
    uint16_t shown = 0;
    poll("6_hiscurve1_endsec", shown);
    EXPECT_EQ(shown, 4464);
    set<int32_t>("test.endsec", -1);
    poll("6_hiscurve1_endsec", shown);
    EXPECT_EQ(shown, 65535);
}

}  // namespace
}  // namespace hmi::test
