// The menu of the home window: each button clears `main.disable_HomePage`, shows its
// screen and hides the home window (the motion button hides every other screen
// instead). The picture buttons of the process screens also record which of them
// was used last in `main.open0` to `main.open5`.
#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"
#include "plugin/windows.hpp"
#include "screens/home/home.hpp"

namespace hmi::home {
namespace {

// A plain menu button: show the screen, hide the home window.
void open(const char* screen) {
    Script s;
    auto& disable_home = s.u8("main.disable_HomePage");
    disable_home = 0;
    hmi_window_show(screen);
    hmi_window_hide("main");
    s.write_back();
}

// A picture button of a process screen: its own open flag becomes 1, the other five 0.
void open_recorded(const char* screen, int open_flag, bool animation) {
    Script s;
    auto& disable_home = s.u8("main.disable_HomePage");
    uint8_t* open[6] = {&s.u8("main.open0"), &s.u8("main.open1"), &s.u8("main.open2"),
                        &s.u8("main.open3"), &s.u8("main.open4"), &s.u8("main.open5")};
    if (animation) s.u8("main.page_open") = 1;
    for (int i = 0; i < 6; ++i) *open[i] = i == open_flag ? 1 : 0;
    disable_home = 0;
    hmi_window_show(screen);
    hmi_window_hide("main");
    s.write_back();
}

}  // namespace

void open_motion() {
    Script s;
    auto& disable_home = s.u8("main.disable_HomePage");
    auto& hold_code = s.u8("kelvor.save_flag");
    disable_home = 0;
    hold_code = 0;   // the motion screen starts free to move
    s.write_back();  // stored before "18" opens
    hmi_window_show("18");
    hide_all({"water", "3", "6", "8", "9", "11", "12", "13", "14", "15", "16", "17", "19", "20",
              "Equipment"});
}

void open_sequencer() {
    open("12");
}
void open_relays() {
    open("11");
}
void open_electrical() {
    open("17");
}
void open_instruments() {
    open("16");
}

void open_water_picture() {
    Script s;
    auto& disable_home = s.u8("main.disable_HomePage");
    disable_home = 0;
    hmi_window_show("20");
    hide_all({"main", "pic1", "pic2", "pic3"});
    s.write_back();
}

void open_dish() {
    open_recorded("8", 5, false);
}
void open_history() {
    open_recorded("6", 3, false);
}
void open_animation() {
    open_recorded("9", 4, true);
}
void open_equipment() {
    open_recorded("Equipment", 2, false);
}
void open_water_page() {
    open_recorded("21", 1, false);
}

}  // namespace hmi::home
