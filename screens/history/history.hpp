// Window "6": the history curve, whose time range runs from 50 minutes before to 5
// minutes after the moment the window opens, with four simulated samples.
#pragma once

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::history {

void open_window();
void reset_range();
void raise_curve_flag();
void back_home();
void advance_samples();

inline constexpr Row window_events[] = {
    on("6_timer97_timer", advance_samples),    on("6_picture91_click", back_home),
    on("6_picture88_click", raise_curve_flag), on("6_picture84_click", reset_range),
    on("6_window_open", open_window),
};

// The curve widget takes each limit of its range as the low 16 bits of its tag.
inline constexpr Row window_properties[] = {
    bind<"6_hiscurve1_startyear", half<"test.startyear", Int::I32>>,
    bind<"6_hiscurve1_startmonth", half<"test.startmonth", Int::I32>>,
    bind<"6_hiscurve1_startday", half<"test.startday", Int::I32>>,
    bind<"6_hiscurve1_starthour", half<"test.starthour", Int::I32>>,
    bind<"6_hiscurve1_startmin", half<"test.startmin", Int::I32>>,
    bind<"6_hiscurve1_startsec", half<"test.startsec", Int::I32>>,
    bind<"6_hiscurve1_endyear", half<"test.endyear", Int::I32>>,
    bind<"6_hiscurve1_endmonth", half<"test.endmonth", Int::I32>>,
    bind<"6_hiscurve1_endday", half<"test.endday", Int::I32>>,
    bind<"6_hiscurve1_endhour", half<"test.endhour", Int::I32>>,
    bind<"6_hiscurve1_endmin", half<"test.endmin", Int::I32>>,
    bind<"6_hiscurve1_endsec", half<"test.endsec", Int::I32>>,
};

}  // namespace hmi::history
