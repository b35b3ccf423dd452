// The screen saver: idle ticks are counted while nobody touches the panel; at the set
// number the slideshow shows "pic1", "pic2", "pic3" in turn, one a tick, until one of
// the pictures is clicked.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"
#include "screens/home/home.hpp"

namespace hmi::home {

void screen_saver_tick() {
    Script s;
    auto& slideshow = s.u8("main.screenState");
    auto& touched = s.u8("system.IsMouseDown");
    auto& idle_count = s.u8("main.count");
    auto& idle_time = s.u16("main.screenProtectTime");
    auto& picture = s.i16("main.pic_number");

    if (touched == 1) {
        // A touch only restarts the count; a running slideshow keeps its picture.
        touched = 0;
        idle_count = 0;
    } else if (slideshow == 0) {
        idle_count += 1;
        if (idle_count == idle_time) {
            slideshow = 1;
            idle_count = 0;
            picture = 0;
        }
    } else {
        switch (picture) {
            case 0:
                hmi_window_show("pic1");
                picture = 1;
                break;
            case 1:
                hmi_window_show("pic2");
                picture = 2;
                break;
            case 2:
                hmi_window_show("pic3");
                picture = 0;
                break;
            default:
                break;
        }
    }
    s.write_back();
}

template <int Picture>
void end_slideshow() {
    Script s;
    auto& slideshow = s.u8("main.screenState");
    slideshow = 0;
    hide_all({"pic1", "pic2", "pic3"});
    s.write_back();
}
template void end_slideshow<1>();
template void end_slideshow<2>();
template void end_slideshow<3>();

void open_time_setting() {
    hmi_center_window("TimeSetting");
    hmi_window_show("TimeSetting");
}

template <unsigned Ticks>
void set_idle_time() {
    Script s;
    auto& idle_time = s.u16("main.screenProtectTime");
    auto& idle_count = s.u8("main.count");
    idle_count = 0;
    idle_time = Ticks;
    s.write_back();  // stored before the window goes
    hmi_window_hide("TimeSetting");
}
template void set_idle_time<2>();
template void set_idle_time<5>();
template void set_idle_time<10>();
template void set_idle_time<20>();

void close_time_setting() {
    hmi_window_hide("TimeSetting");
}

}  // namespace hmi::home
