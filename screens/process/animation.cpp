// The indicator animation: the step's lines, then the next step while the page is open.
#include "screens/process/animation.hpp"

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"

namespace hmi::animation {

// Steps 1 to 3 set the lines; step 4 keeps them and goes back to 0, the step before 1.
// Any other step only counts up, wrapping at 16 bits.
void step() {
    Script s;
    auto& state = s.u16("main.state");
    auto& down = s.u8("main.down");
    auto& flash = s.u8("main.flash");
    auto& back = s.u8("main.back");
    auto& page_open = s.u8("main.page_open");

    switch (state) {
        case 1:
            back = 0;
            down = 0;
            flash = 0;
            break;
        case 2:
            down = 0;
            flash = 1;
            back = 1;
            break;
        case 3:
            flash = 0;
            down = 1;
            back = 1;
            break;
        case 4:
            state = 0;
            break;
        default:
            break;
    }
    if (page_open == 1) state = static_cast<uint16_t>(state + 1);
    s.write_back();
}

// Stops the sequence and leaves it ready to start again at step 1.
void go_home() {
    Script s;
    auto& page_open = s.u8("main.page_open");
    auto& state = s.u16("main.state");
    auto& flash = s.u8("main.flash");
    auto& down = s.u8("main.down");
    auto& back = s.u8("main.back");

    page_open = 0;
    flash = 0;
    down = 0;
    back = 0;
    state = 1;
    hmi_window_show("main");
    hmi_window_hide("9");
    s.write_back();
}

}  // namespace hmi::animation
