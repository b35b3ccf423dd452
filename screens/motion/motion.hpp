// The motion screen "18" and its axis selection window "window" (tag group kelvor).
//
// A simulated tool travels a column sweep, a row sweep and a circle, one point per
// tick of the screen's timer; the run buttons raise one-shot requests that the tick
// takes at its start and answers with the hold code `kelvor.save_flag`. The tool
// moves only while the hold code is 0.
#pragma once

#include <stdint.h>

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

}  // namespace hmi::motion
