// Window "9": a piping picture whose lines light up in a repeating four-step
// sequence (nothing, return lines flashing, return and down lines steady, a pause),
// one step a tick of `timer7` while `main.page_open` is 1.
#pragma once

#include "plugin/bind.hpp"
#include "plugin/table.hpp"

namespace hmi::animation {

void step();
void go_home();

inline constexpr Row events[] = {
    on("9_timer7_timer", step),
    on("9_picture1_click", go_home),
};

inline constexpr Row props[] = {
    bind<"9_line9_visible", flag<"main.back">>,        bind<"9_line9_flash", flag<"main.flash">>,
    bind<"9_line8_visible", flag<"main.back">>,        bind<"9_line8_flash", flag<"main.flash">>,
    bind<"9_line7_visible", flag<"main.back">>,        bind<"9_line7_flash", flag<"main.flash">>,
    bind<"9_line5_visible", flag<"main.back">>,        bind<"9_line5_flash", flag<"main.flash">>,
    bind<"9_picture2_visible", flag_not<"main.back">>, bind<"9_line13_visible", flag<"main.back">>,
    bind<"9_line12_visible", flag<"main.back">>,       bind<"9_line11_visible", flag<"main.back">>,
    bind<"9_line6_visible", flag<"main.down">>,        bind<"9_line4_visible", flag<"main.down">>,
    bind<"9_line3_visible", flag<"main.back">>,        bind<"9_line3_flash", flag<"main.flash">>,
    bind<"9_line2_visible", flag<"main.back">>,        bind<"9_line2_flash", flag<"main.flash">>,
    bind<"9_line1_visible", flag<"main.back">>,        bind<"9_line1_flash", flag<"main.flash">>,
};

}  // namespace hmi::animation
