// Window "16", the instrument panel: eight values entered through the input dialog
// and shown with a small flicker and their unit, the panel's date and time, a
// countdown on a scale and a digital display, and a meter showing a random value.
// `main.can4` is 1 while the window is open and runs its timer.
#pragma once

#include <stdint.h>

namespace hmi::instruments {

// The values that a touch on their text lets the operator enter.
enum class Value : uint8_t { I6, c2, p1, I5, I4, I3, I2, c3 };

void open_window();
void count_down();
void home();
void inert_label();
template <Value V>
void enter_value();

}  // namespace hmi::instruments
