// The curve's time range: from 50 minutes before the current time to 5 minutes after
// it, set when the window opens and again by the reset picture.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "screens/history/history.hpp"

namespace hmi::history {
namespace {

constexpr int kAhead = 300;   // the end: 5 minutes after now
constexpr int kSpan = -3300;  // the start: 55 minutes before the end
constexpr int kFields = 6;    // year, month, day, hour, minute, second

void set_default_range() {
    Script s;
    auto& now = s.u32("system.CurDateTime");
    // Read from the end's year down to the start's second, so that the start is
    // written before the end, each from its second up to its year.
    int32_t* end[kFields] = {&s.i32("test.endyear"), &s.i32("test.endmonth"),
                             &s.i32("test.endday"),  &s.i32("test.endhour"),
                             &s.i32("test.endmin"),  &s.i32("test.endsec")};
    int32_t* start[kFields] = {&s.i32("test.startyear"), &s.i32("test.startmonth"),
                               &s.i32("test.startday"),  &s.i32("test.starthour"),
                               &s.i32("test.startmin"),  &s.i32("test.startsec")};
    auto& redraw = s.u8("curve.redraw");

    // A shift that fails leaves the fields as they were: the end is then the current
    // time, or the start equals the end.
    int t[kFields] = {};
    gettimeinfo(now, &t[0], &t[1], &t[2], &t[3], &t[4], &t[5]);
    datetime_add(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5], kAhead);
    for (int i = 0; i < kFields; ++i) *end[i] = t[i];
    datetime_add(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5], kSpan);
    for (int i = 0; i < kFields; ++i) *start[i] = t[i];
    redraw = 1;
    s.write_back();
}

}  // namespace

void open_window() {
    set_default_range();
}

void reset_range() {
    set_default_range();
}

}  // namespace hmi::history
