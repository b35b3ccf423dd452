// Window "16", the instrument panel: eight values entered through the input dialog
// and shown with a small flicker and their unit, the panel's date and time, a
// countdown on a scale and a digital display, and a meter showing a random value.
// `main.can4` is 1 while the window is open and runs its timer.
#pragma once

#include <stdint.h>

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::instruments {

// The values that a touch on their text lets the operator enter.
enum class Value : uint8_t { I6, c2, p1, I5, I4, I3, I2, c3 };

void open_window();
void count_down();
void home();
void inert_label();
template <Value V>
void enter_value();

inline constexpr Row window16_events[] = {
    on("16_timer2_timer", count_down),
    on("16_bmptext16_click", inert_label),
    on("16_picture1_click", home),
    on("16_text94_click", enter_value<Value::I6>),
    on("16_text76_click", enter_value<Value::c2>),
    on("16_text73_click", enter_value<Value::p1>),
    on("16_text70_click", enter_value<Value::I5>),
    on("16_text40_click", enter_value<Value::I4>),
    on("16_text34_click", enter_value<Value::I3>),
    on("16_text21_click", enter_value<Value::I2>),
    on("16_text80_click", enter_value<Value::c3>),
    on("16_window_open", open_window),
};

inline constexpr char kDegrees[] = "\xa1\xe6";  // ℃

inline constexpr Row window16_props[] = {
    bind<"16_text20_text", text_of_long2<"system.Year", Int::U16, 0>>,
    bind<"16_text19_text", text_of_long2<"system.Month", Int::U8, 0>>,
    bind<"16_text18_text", text_of_long2<"system.Day", Int::U8, 0>>,
    bind<"16_text16_text", text_of_long2<"system.Second", Int::U8, 0>>,
    bind<"16_text15_text", text_of_long2<"system.Minute", Int::U8, 0>>,
    bind<"16_text11_text", text_of_long2<"system.Hour", Int::U8, 0>>,
    bind<"16_timer2_enable", flag<"main.can4">>,
    bind<"16_scale1_value", real_of<"global.m1", Int::I16>>,
    bind<"16_circleMeter1_value", random_real<10>>,
    bind<"16_digitled1_value", real_of<"global.m1", Int::I16>>,
    bind<"16_text94_text", text_flicker<"global.I6", "A">>,
    bind<"16_text76_text", text_flicker<"global.c2", kDegrees>>,
    bind<"16_text73_text", text_flicker<"global.p1", "Mpa">>,
    bind<"16_text70_text", text_flicker<"global.I5", "A">>,
    bind<"16_text40_text", text_flicker<"global.I4", "A">>,
    bind<"16_text34_text", text_flicker<"global.I3", "A">>,
    bind<"16_text21_text", text_flicker<"global.I2", "A">>,
    bind<"16_text80_text", text_flicker<"global.c3", kDegrees>>,
};

}  // namespace hmi::instruments
