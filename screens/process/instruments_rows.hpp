// The handler and property rows of window "16".
#pragma once

#include "screens/process/instruments.hpp"
#include "screens/rows.hpp"

namespace hmi::instruments {

constexpr char kDegrees[] = "\xa1\xe6";  // ℃

constexpr Row window_16_events[] = {
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

constexpr Row window_16_properties[] = {
    bind<"16_text20_text", text_of_integer_option<"system.Year", Int::U16, 0>>,
    bind<"16_text19_text", text_of_integer_option<"system.Month", Int::U8, 0>>,
    bind<"16_text18_text", text_of_integer_option<"system.Day", Int::U8, 0>>,
    bind<"16_text16_text", text_of_integer_option<"system.Second", Int::U8, 0>>,
    bind<"16_text15_text", text_of_integer_option<"system.Minute", Int::U8, 0>>,
    bind<"16_text11_text", text_of_integer_option<"system.Hour", Int::U8, 0>>,
    bind<"16_timer2_enable", flag_copy<"main.can4">>,
    bind<"16_scale1_value", value_of_integer<"global.m1", Int::I16>>,
    bind<"16_circleMeter1_value", value_random<10>>,
    bind<"16_digitled1_value", value_of_integer<"global.m1", Int::I16>>,
    bind<"16_text94_text", text_of_flickering<"global.I6", "A">>,
    bind<"16_text76_text", text_of_flickering<"global.c2", kDegrees>>,
    bind<"16_text73_text", text_of_flickering<"global.p1", "Mpa">>,
    bind<"16_text70_text", text_of_flickering<"global.I5", "A">>,
    bind<"16_text40_text", text_of_flickering<"global.I4", "A">>,
    bind<"16_text34_text", text_of_flickering<"global.I3", "A">>,
    bind<"16_text21_text", text_of_flickering<"global.I2", "A">>,
    bind<"16_text80_text", text_of_flickering<"global.c3", kDegrees>>,
};

}  // namespace hmi::instruments
