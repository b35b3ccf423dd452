// The handler and property rows of the history window "6".
#pragma once

#include "screens/history/history.hpp"
#include "screens/rows.hpp"

namespace hmi::history {

constexpr Row window_6_events[] = {
    on("6_timer97_timer", advance_samples),    on("6_picture91_click", back_home),
    on("6_picture88_click", raise_curve_flag), on("6_picture84_click", reset_range),
    on("6_window_open", open_window),
};

// The curve widget takes each limit of its range as the low 16 bits of its tag.
constexpr Row window_6_properties[] = {
    bind<"6_hiscurve1_startyear", position_copy<"test.startyear", Int::I32>>,
    bind<"6_hiscurve1_startmonth", position_copy<"test.startmonth", Int::I32>>,
    bind<"6_hiscurve1_startday", position_copy<"test.startday", Int::I32>>,
    bind<"6_hiscurve1_starthour", position_copy<"test.starthour", Int::I32>>,
    bind<"6_hiscurve1_startmin", position_copy<"test.startmin", Int::I32>>,
    bind<"6_hiscurve1_startsec", position_copy<"test.startsec", Int::I32>>,
    bind<"6_hiscurve1_endyear", position_copy<"test.endyear", Int::I32>>,
    bind<"6_hiscurve1_endmonth", position_copy<"test.endmonth", Int::I32>>,
    bind<"6_hiscurve1_endday", position_copy<"test.endday", Int::I32>>,
    bind<"6_hiscurve1_endhour", position_copy<"test.endhour", Int::I32>>,
    bind<"6_hiscurve1_endmin", position_copy<"test.endmin", Int::I32>>,
    bind<"6_hiscurve1_endsec", position_copy<"test.endsec", Int::I32>>,
};

}  // namespace hmi::history
