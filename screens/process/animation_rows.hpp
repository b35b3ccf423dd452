// The handler and property rows of window "9".
#pragma once

#include "screens/process/animation.hpp"
#include "screens/rows.hpp"

namespace hmi::animation {

constexpr Row window_9_events[] = {
    on("9_timer7_timer", step),
    on("9_picture1_click", go_home),
};

constexpr Row window_9_properties[] = {
    bind<"9_line9_visible", flag_copy<"main.back">>,
    bind<"9_line9_flash", flag_copy<"main.flash">>,
    bind<"9_line8_visible", flag_copy<"main.back">>,
    bind<"9_line8_flash", flag_copy<"main.flash">>,
    bind<"9_line7_visible", flag_copy<"main.back">>,
    bind<"9_line7_flash", flag_copy<"main.flash">>,
    bind<"9_line5_visible", flag_copy<"main.back">>,
    bind<"9_line5_flash", flag_copy<"main.flash">>,
    bind<"9_picture2_visible", flag_is_0<"main.back">>,
    bind<"9_line13_visible", flag_copy<"main.back">>,
    bind<"9_line12_visible", flag_copy<"main.back">>,
    bind<"9_line11_visible", flag_copy<"main.back">>,
    bind<"9_line6_visible", flag_copy<"main.down">>,
    bind<"9_line4_visible", flag_copy<"main.down">>,
    bind<"9_line3_visible", flag_copy<"main.back">>,
    bind<"9_line3_flash", flag_copy<"main.flash">>,
    bind<"9_line2_visible", flag_copy<"main.back">>,
    bind<"9_line2_flash", flag_copy<"main.flash">>,
    bind<"9_line1_visible", flag_copy<"main.back">>,
    bind<"9_line1_flash", flag_copy<"main.flash">>,
};

}  // namespace hmi::animation
