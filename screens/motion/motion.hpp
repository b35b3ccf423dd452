// The motion screen "18" and its axis selection window "window" (tag group kelvor).
//
// A simulated tool travels a column sweep, a row sweep and a circle, one point per
// tick of the screen's timer; the run buttons raise one-shot requests that the tick
// takes at its start and answers with the hold code `kelvor.save_flag`. The tool
// moves only while the hold code is 0.
#pragma once

#include <stdint.h>

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::motion {

// The hold code `kelvor.save_flag`: the tool moves only while it is kFree.
enum Hold : uint8_t {
    kFree = 0,
    kPaused = 1,   // paused, or a manual cycle has ended: start and origin act only now
    kLeft = 2,     // the screen was left through its home button
    kStarted = 3,  // a start was taken, or an automatic cycle has ended
    kAtOriginOrStopped = 4,
};

// The path phase `kelvor.state_flag`; any other value stands still.
enum Phase : uint8_t { kColumns = 1, kRows = 2, kCircle = 3 };

// the tick (tick.cpp)
void motion_tick();

// run control of window "18" (commands.cpp)
void open_motion_screen();
void request_clear_count();
void request_stop();
void request_pause();
void request_continue();
void start_run();
void go_to_origin();
void leave_and_reset();
void toggle_axis_window();
void toggle_automatic();

// the axis selection window (axis.cpp)
enum class Axis { X, Y, Z, U, V };
template <Axis Selected>
void select_axis();
void toggle_axis_mode();
void toggle_automatic_in_axis_window();
void zero_pending_start();
void leave_axis_window();
void clear_axes_on_close();

inline constexpr Row screen_events[] = {
    on("18_timer2_timer", motion_tick),           on("18_picture49_click", request_clear_count),
    on("18_picture38_click", request_stop),       on("18_picture37_click", request_pause),
    on("18_picture36_click", request_continue),   on("18_picture34_click", start_run),
    on("18_picture33_click", go_to_origin),       on("18_picture4_click", leave_and_reset),
    on("18_picture60_click", toggle_axis_window), on("18_picture35_click", toggle_automatic),
    on("18_window_open", open_motion_screen),
};

inline constexpr Row axis_window_events[] = {
    on("window_picture3_click", leave_axis_window),
    on("window_picture17_click", select_axis<Axis::Z>),
    on("window_picture13_click", select_axis<Axis::U>),
    on("window_picture15_click", select_axis<Axis::Y>),
    on("window_picture5_click", select_axis<Axis::V>),
    on("window_picture11_click", zero_pending_start),
    on("window_picture9_click", select_axis<Axis::X>),
    on("window_picture7_click", toggle_axis_mode),
    on("window_picture19_click", toggle_automatic_in_axis_window),
    on("window_window_close", clear_axes_on_close),
};

// Labels follow the axis-window mode and automatic mode; the texts show the run
// time, the counters, the clock, the angle and the positions.
inline constexpr Row screen_properties[] = {
    bind<"18_bmptext23_visible", flag_not<"kelvor.anxis">>,
    bind<"18_bmptext22_visible", flag<"kelvor.anxis">>,
    bind<"18_bmptext10_visible", flag<"kelvor.automatic">>,
    bind<"18_bmptext8_visible", flag_not<"kelvor.automatic">>,
    bind<"18_timer2_enable", flag<"main.can5">>,
    bind<"18_text46_text", text_of_long2<"kelvor.run_time", Int::U32, 0>>,
    bind<"18_text31_text", text_of_long2<"kelvor.sum_point", Int::I32, 0>>,
    bind<"18_text27_text", text_of_long2<"system.Second", Int::U8, 0>>,
    bind<"18_text26_text", text_of_long2<"system.Minute", Int::U8, 0>>,
    bind<"18_text24_text", text_of_long2<"system.Hour", Int::U8, 0>>,
    bind<"18_text22_text", text_of_u32_float<"kelvor.v_Real", 0, 1>>,
    bind<"18_text21_text", text_of_u32_float<"kelvor.z_Real", 0, 1>>,
    bind<"18_text20_text", text_of_float<"kelvor.cur_angle", 0, 2>>,
    bind<"18_text16_text", text_of_long2<"kelvor.num_complate", Int::U16, 4>>,
    bind<"18_text15_text", text_of_float<"kelvor.y_Real", 0, 1>>,
    bind<"18_text6_text", text_of_float<"kelvor.x_Real", 0, 1>>,
};

inline constexpr Row axis_window_properties[] = {
    bind<"window_bmptext1_visible", flag<"kelvor.anxis">>,
    bind<"window_bmptext12_visible", flag_not<"kelvor.anxis">>,
    bind<"window_bmptext6_visible", flag_not<"kelvor.automatic">>,
    bind<"window_bmptext5_visible", flag<"kelvor.automatic">>,
};

}  // namespace hmi::motion
