// The handler and property rows of window "17".
#pragma once

#include "screens/process/electrical.hpp"
#include "screens/rows.hpp"

namespace hmi::electrical {

// Where picture92 stands for each state of (comm1, comm2), at 2 * comm1 + comm2.
constexpr int16_t kPicture92Top[4] = {261, 241, 207, 223};
constexpr int16_t kPicture92Bottom[4] = {292, 303, 238, 254};

constexpr Row window_17_events[] = {
    on("17_gradellipse42_click", stop),
    on("17_gradellipse40_click", start),
    on("17_picture37_click", inert_picture<37>),
    on("17_picture21_click", inert_picture<21>),
    on("17_picture11_click", home),
    on("17_timer3_timer", simulation_step),
    on("17_picture24_click", inert_picture<24>),
    on("17_picture30_click", inert_picture<30>),
};

constexpr Row window_17_properties[] = {
    bind<"17_bmptext5_visible", flag_copy<"electric.comm1">>,
    bind<"17_bmptext3_visible", flag_is_0<"electric.comm2">>,
    bind<"17_bmptext2_visible", flag_copy<"electric.comm2">>,
    bind<"17_bmptext1_visible", flag_is_0<"electric.comm1">>,
    bind<"17_bmptext49_visible", flag_copy<"electric.comm2">>,
    bind<"17_bmptext48_visible", flag_is_0<"electric.comm2">>,
    bind<"17_bmptext47_visible", flag_is_0<"electric.comm1">>,
    bind<"17_rectangle46_flash", flag_copy<"electric.comm2">>,
    bind<"17_rectangle46_fillcolor", colour_by_flag<"electric.comm2", kGreen, kRed>>,
    bind<"17_rectangle45_flash", flag_copy<"electric.comm1">>,
    bind<"17_rectangle45_fillcolor", colour_by_flag<"electric.comm1", kGreen, kRed>>,
    bind<"17_gradellipse40_endcolor", colour_by_flag<"electric.electric_b_0", kTan, kGreen>>,
    bind<"17_light728_fillcolor1", colour_by_flag<"electric.electric_b_7", kYellow, kGreen>>,
    bind<"17_light726_fillcolor1", colour_by_flag<"electric.electric_b_6", kYellow, kGreen>>,
    bind<"17_light724_fillcolor1", colour_by_flag<"electric.electric_b_5", kYellow, kGreen>>,
    bind<"17_text8_text", text_of_decimal<"electric.electric1", 0, 2>>,
    bind<"17_circleMeter1_value", value_copy<"electric.electric1">>,
    bind<"17_rectangle20_visible", flag_copy<"electric.comm2">>,
    bind<"17_picture92_top", position_by_flags<"electric.comm1", "electric.comm2", kPicture92Top>>,
    bind<"17_picture92_bottom",
         position_by_flags<"electric.comm1", "electric.comm2", kPicture92Bottom>>,
    bind<"17_line24_visible", flag_is_0<"electric.electric_b_0">>,
    bind<"17_rectangle19_visible", flag_is_0<"electric.electric_b_0">>,
    bind<"17_rectangle18_visible", flag_is_0<"electric.electric_b_0">>,
    bind<"17_text12_text", text_of_decimal<"electric.electric4", 0, 2>>,
    bind<"17_text11_text", text_of_decimal<"electric.electric3", 0, 2>>,
    bind<"17_text52_text", text_of_decimal<"electric.electric2", 0, 2>>,
    bind<"17_circleMeter48_value", value_copy<"electric.electric2">>,
    bind<"17_curve15_datacolor1", colour_by_flag<"electric.electric_b_1", kDarkCyan, kGreen>>,
    bind<"17_curve15_datacolor2", colour_by_flag<"electric.electric_b_2", kDarkCyan, kBlue>>,
    bind<"17_curve15_datacolor3", colour_by_flag<"electric.electric_b_3", kDarkCyan, kRed>>,
    bind<"17_curve15_datacolor4", colour_by_flag<"electric.electric_b_4", kDarkCyan, kYellow>>,
    bind<"17_rectangle1_visible", flag_copy<"electric.comm1">>,
};

}  // namespace hmi::electrical
