// Window "6": the history curve, whose time range runs from 50 minutes before to 5
// minutes after the moment the window opens, with four simulated samples.
#pragma once

namespace hmi::history {

void open_window();
void reset_range();
void raise_curve_flag();
void back_home();
void advance_samples();

}  // namespace hmi::history
