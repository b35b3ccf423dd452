// Moving a local date and time by seconds, in explicit time zones, and the storage
// directories.
#include <stdlib.h>
#include <time.h>

#include <climits>

#include "tests/support/panel.hpp"
#include "tests/sysutil/exports.hpp"

namespace hmi::test {
namespace {

struct Date {
    int year, month, day, hour, minute, second;
    bool operator==(const Date&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Date& d) {
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    return out << text;
}

// Central European time, with its changes of the clocks written out, so that no
// zone database is needed; and one of the southern hemisphere.
constexpr char kBerlin[] = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr char kSydney[] = "AEST-10AEDT,M10.1.0,M4.1.0/3";

void use_zone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
}

class DateShift : public ::testing::Test, protected Utilities {
  protected:
    ~DateShift() override { use_zone("UTC"); }

    // The result, and the fields as datetime_add left them.
    std::pair<int, Date> shift(Date date, int offset) {
        int result = datetime_add(&date.year, &date.month, &date.day, &date.hour, &date.minute,
                                  &date.second, offset);
        return {result, date};
    }
};

struct Case {
    const char* zone;
    Date date;
    int offset;
    Date expected;  // the input itself where nothing may be written
    int result = 1;
};

TEST_F(DateShift, MovesAcrossDayMonthAndYearEnds) {
    const Case cases[] = {
        {"UTC", {2024, 3, 1, 0, 10, 0}, -3300, {2024, 2, 29, 23, 15, 0}},
        {"UTC", {2024, 3, 1, 0, 10, 0}, 300, {2024, 3, 1, 0, 15, 0}},
        {"UTC", {2023, 12, 31, 23, 59, 30}, 45, {2024, 1, 1, 0, 0, 15}},
        {"UTC", {2023, 3, 1, 0, 10, 0}, -3300, {2023, 2, 28, 23, 15, 0}},
        {"UTC", {2000, 2, 28, 23, 0, 0}, 3600, {2000, 2, 29, 0, 0, 0}},  // a century leap year
        {"UTC", {2024, 4, 30, 23, 59, 59}, 1, {2024, 5, 1, 0, 0, 0}},
        {"UTC", {2025, 1, 1, 0, 0, 0}, -1, {2024, 12, 31, 23, 59, 59}},
        {"UTC", {2024, 1, 1, 0, 0, 0}, 366 * 86400, {2025, 1, 1, 0, 0, 0}},
        {"Asia/Shanghai", {2024, 3, 1, 0, 10, 0}, -3300, {2024, 2, 29, 23, 15, 0}},
        {"CST-8", {2023, 12, 31, 23, 59, 30}, 45, {2024, 1, 1, 0, 0, 15}},
    };
    for (const Case& c : cases) {
        use_zone(c.zone);
        EXPECT_EQ(shift(c.date, c.offset), std::pair(c.result, c.expected))
            << c.zone << " " << c.date << " " << c.offset;
    }
}

// The zone decides whether a local time is daylight-saving time: an input in summer
// comes back as it went in, and a shift across a change of the clocks counts the
// seconds that really pass.
TEST_F(DateShift, ZoneDecidesDaylightSaving) {
    const Case cases[] = {
        {kBerlin, {2025, 7, 1, 12, 0, 0}, 0, {2025, 7, 1, 12, 0, 0}},
        {kBerlin, {2025, 1, 15, 12, 0, 0}, 0, {2025, 1, 15, 12, 0, 0}},
        {kBerlin, {2025, 7, 1, 23, 59, 59}, 1, {2025, 7, 2, 0, 0, 0}},
        {"Europe/Berlin", {2025, 7, 1, 12, 0, 0}, 0, {2025, 7, 1, 12, 0, 0}},
        {"EST5EDT,M3.2.0,M11.1.0", {2024, 7, 1, 12, 30, 0}, 0, {2024, 7, 1, 12, 30, 0}},
        {"EST5EDT,M3.2.0,M11.1.0", {2024, 1, 15, 12, 30, 0}, 0, {2024, 1, 15, 12, 30, 0}},
        {kSydney, {2025, 1, 15, 12, 0, 0}, 0, {2025, 1, 15, 12, 0, 0}},  // its summer
        {kSydney, {2025, 7, 15, 12, 0, 0}, 0, {2025, 7, 15, 12, 0, 0}},
        // Spring: 02:00 standard time becomes 03:00 daylight-saving time.
        {kBerlin, {2025, 3, 30, 1, 30, 0}, 3600, {2025, 3, 30, 3, 30, 0}},
        {kBerlin, {2025, 3, 30, 1, 59, 59}, 1, {2025, 3, 30, 3, 0, 0}},
        {kBerlin, {2025, 3, 30, 3, 30, 0}, -3600, {2025, 3, 30, 1, 30, 0}},
        // Autumn: 03:00 daylight-saving time becomes 02:00 standard time again.
        {kBerlin, {2025, 10, 26, 1, 30, 0}, 7200, {2025, 10, 26, 2, 30, 0}},
        {kBerlin, {2025, 10, 26, 1, 30, 0}, 3600, {2025, 10, 26, 2, 30, 0}},
        {kBerlin, {2025, 10, 26, 3, 30, 0}, -7200, {2025, 10, 26, 2, 30, 0}},
        {kBerlin, {2025, 10, 26, 3, 30, 0}, -10800, {2025, 10, 26, 1, 30, 0}},
        // The repeated hour is taken at its first occurrence, in daylight-saving time.
        {kBerlin, {2025, 10, 26, 2, 30, 0}, 0, {2025, 10, 26, 2, 30, 0}},
        {kBerlin, {2025, 10, 26, 2, 30, 0}, -3600, {2025, 10, 26, 1, 30, 0}},
        {kBerlin, {2025, 10, 26, 2, 30, 0}, 3600, {2025, 10, 26, 2, 30, 0}},
        {kBerlin, {2025, 10, 26, 2, 30, 0}, 7200, {2025, 10, 26, 3, 30, 0}},
        // Half a year on, from summer into winter.
        {kBerlin, {2025, 7, 1, 12, 0, 0}, 180 * 86400, {2025, 12, 28, 11, 0, 0}},
        // The 32-bit range holds in local winter time too.
        {kBerlin, {2038, 1, 19, 4, 14, 7}, 0, {2038, 1, 19, 4, 14, 7}},
        {kBerlin, {2038, 1, 19, 4, 14, 8}, 0, {2038, 1, 19, 4, 14, 8}, 0},
        {kBerlin, {2038, 1, 19, 4, 14, 0}, 8, {2038, 1, 19, 4, 14, 0}, 0},
    };
    for (const Case& c : cases) {
        use_zone(c.zone);
        EXPECT_EQ(shift(c.date, c.offset), std::pair(c.result, c.expected))
            << c.zone << " " << c.date << " " << c.offset;
    }
}

// The repeated hour comes out the same whatever mktime converted last.
TEST_F(DateShift, RepeatedHourDoesNotDependOnTheCallBefore) {
    use_zone(kBerlin);
    for (Date before : {Date{2025, 7, 1, 12, 0, 0}, Date{2025, 12, 1, 12, 0, 0},
                        Date{2025, 10, 26, 3, 30, 0}, Date{2025, 10, 26, 1, 30, 0}}) {
        shift(before, 0);
        EXPECT_EQ(shift({2025, 10, 26, 2, 10, 0}, -600), std::pair(1, Date{2025, 10, 26, 2, 0, 0}))
            << "after " << before;
        shift(before, 0);
        EXPECT_EQ(shift({2025, 10, 26, 2, 50, 0}, 1200), std::pair(1, Date{2025, 10, 26, 2, 10, 0}))
            << "after " << before;
    }
}

TEST_F(DateShift, NormalisesFieldsOutOfRangeEvenWithoutAShift) {
    const Case cases[] = {
        {"UTC", {2024, 0, 15, 0, 0, 0}, 0, {2023, 12, 15, 0, 0, 0}},
        {"UTC", {2024, 13, 1, 0, 0, 0}, 0, {2025, 1, 1, 0, 0, 0}},
        {"UTC", {2023, 2, 29, 0, 0, 0}, 0, {2023, 3, 1, 0, 0, 0}},
        {"UTC", {2024, 3, 0, 12, 0, 0}, 0, {2024, 2, 29, 12, 0, 0}},
        {"UTC", {2024, 6, 1, 10, 75, 0}, 0, {2024, 6, 1, 11, 15, 0}},
        {"UTC", {2024, 6, 1, 0, 0, -1}, 0, {2024, 5, 31, 23, 59, 59}},
        {"UTC", {1970, 1, 1, 0, 0, INT_MAX}, 0, {2038, 1, 19, 3, 14, 7}},
        {"Asia/Shanghai", {2024, 7, 1, 12, 30, 0}, 0, {2024, 7, 1, 12, 30, 0}},
        {"CST-8", {2024, 7, 1, 12, 30, 0}, 0, {2024, 7, 1, 12, 30, 0}},
        {kBerlin, {2025, 6, 31, 12, 0, 0}, 0, {2025, 7, 1, 12, 0, 0}},
        {kBerlin, {2025, 13, 1, 12, 0, 0}, 0, {2026, 1, 1, 12, 0, 0}},
    };
    for (const Case& c : cases) {
        use_zone(c.zone);
        EXPECT_EQ(shift(c.date, c.offset), std::pair(c.result, c.expected))
            << c.zone << " " << c.date;
    }
}

// The panel's calendar time is signed 32-bit: the same limits on every build, and
// a date or a result outside them leaves every field as it was.
TEST_F(DateShift, KeepsToTheSigned32BitCalendarRange) {
    const Case cases[] = {
        {"UTC", {2038, 1, 19, 3, 14, 7}, 0, {2038, 1, 19, 3, 14, 7}},
        {"UTC", {2038, 1, 19, 3, 14, 0}, 7, {2038, 1, 19, 3, 14, 7}},
        {"UTC", {2038, 1, 19, 3, 14, 7}, 1, {2038, 1, 19, 3, 14, 7}, 0},
        {"UTC", {2038, 1, 19, 3, 14, 8}, 0, {2038, 1, 19, 3, 14, 8}, 0},
        {"UTC", {2039, 1, 15, 12, 0, 0}, 0, {2039, 1, 15, 12, 0, 0}, 0},
        {"UTC", {2039, 1, 15, 12, 0, 0}, -31536000 * 2, {2039, 1, 15, 12, 0, 0}, 0},
        {"UTC", {1901, 12, 13, 20, 45, 52}, 0, {1901, 12, 13, 20, 45, 52}},
        {"UTC", {1901, 12, 13, 20, 45, 52}, -1, {1901, 12, 13, 20, 45, 52}, 0},
        {"UTC", {1901, 12, 13, 20, 45, 51}, 0, {1901, 12, 13, 20, 45, 51}, 0},
        {"UTC", {1901, 12, 13, 20, 45, 52}, INT_MAX, {1969, 12, 31, 23, 59, 59}},
        {"UTC", {2038, 1, 19, 3, 14, 7}, INT_MIN, {1969, 12, 31, 23, 59, 59}},
        {"Asia/Shanghai", {2038, 1, 19, 11, 14, 7}, 0, {2038, 1, 19, 11, 14, 7}},
        {"Asia/Shanghai", {2038, 1, 19, 11, 14, 8}, 0, {2038, 1, 19, 11, 14, 8}, 0},
        // The last second of 1969 is a date like any other, though its calendar time is -1.
        {"UTC", {1969, 12, 31, 23, 59, 59}, 1, {1970, 1, 1, 0, 0, 0}},
        {"UTC", {1970, 1, 1, 0, 0, 0}, -1, {1969, 12, 31, 23, 59, 59}},
        // Fields whose conversion would overflow before any normalising.
        {"UTC", {INT_MIN, 1, 1, 0, 0, 0}, 0, {INT_MIN, 1, 1, 0, 0, 0}, 0},
        {"UTC", {INT_MAX, 1, 1, 0, 0, 0}, 0, {INT_MAX, 1, 1, 0, 0, 0}, 0},
        {"UTC", {2024, INT_MIN, 1, 0, 0, 0}, 0, {2024, INT_MIN, 1, 0, 0, 0}, 0},
        {"UTC", {2024, 1, 1, 0, INT_MAX, 0}, 0, {2024, 1, 1, 0, INT_MAX, 0}, 0},
    };
    for (const Case& c : cases) {
        use_zone(c.zone);
        EXPECT_EQ(shift(c.date, c.offset), std::pair(c.result, c.expected))
            << c.zone << " " << c.date << " " << c.offset;
    }
}

TEST_F(DateShift, MissingFieldsTakePartThroughTheirDefaults) {
    use_zone("UTC");
    EXPECT_EQ(datetime_add(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 1);
    EXPECT_EQ(datetime_add(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, INT_MAX), 0);

    // A time of day alone is one of 2000-01-01.
    int hour = 20, minute = 30, second = 0;
    EXPECT_EQ(datetime_add(nullptr, nullptr, nullptr, &hour, &minute, &second, 4 * 3600), 1);
    EXPECT_EQ(Date({0, 0, 0, hour, minute, second}), Date({0, 0, 0, 0, 30, 0}));

    // Day 30 of the default month 1 of 2000, moved by a month: the results are
    // computed whole and only the given fields written.
    int day = 30;
    EXPECT_EQ(datetime_add(nullptr, nullptr, &day, nullptr, nullptr, nullptr, 31 * 86400), 1);
    EXPECT_EQ(day, 1);  // 2000-03-01: February 2000 has 29 days
    int month = 2;
    EXPECT_EQ(datetime_add(nullptr, &month, nullptr, nullptr, nullptr, nullptr, -1), 1);
    EXPECT_EQ(month, 1);
}

TEST(Directories, NameTheFixedStoragePlaces) {
    Utilities u;
    EXPECT_STREQ(u.hmi_get_usr_data_dir(), "/home/ftp/data");
    EXPECT_STREQ(u.hmi_get_cfcard_dir(), "/cfcard");
    EXPECT_STREQ(u.hmi_get_usb_dir(), "/mnt");
    EXPECT_EQ(u.hmi_get_usb_dir(), u.hmi_get_usb_dir());
}

class ProjectDir : public PanelTest, protected Utilities {};

TEST_F(ProjectDir, RelaysWhatTheHostNamesForTheEmptyName) {
    host.project_dir = "/srv/panel/project/";
    EXPECT_STREQ(hmi_get_project_dir(), "/srv/panel/project/");
    EXPECT_EQ(trace(host::kAllTopics), "sys_get_file_path -> \"/srv/panel/project/\"\n");
}

}  // namespace
}  // namespace hmi::test
