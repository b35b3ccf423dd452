// Window "3": the three-phase animation (the picture slides right, nine bubbles
// appear, the bubbles and the car travel left), and the tabs and home pictures of
// the water treatment windows.
#include "screens/process/water.hpp"

#include <stdint.h>

#include "plugin/hmi_abi.h"
#include "plugin/script.hpp"

namespace hmi::water {
namespace {

constexpr int16_t kSlideEnd = 120;    // phase 1: the picture's offset, in steps of 10
constexpr int32_t kTravelEnd = -380;  // phase 3: the offset, in steps of 20, stays above this

// 16-bit addition that wraps, as the panel's counters do.
int16_t add16(int16_t value, int16_t step) {
    return static_cast<int16_t>(static_cast<uint16_t>(value) + static_cast<uint16_t>(step));
}

void show_then_hide(const char* show, const char* hide) {
    hmi_window_show(show);
    hmi_window_hide(hide);
}

}  // namespace

void animation_step() {
    Script s;
    auto& run = s.u8("face.face3");
    auto& slide = s.i16("face.move");
    auto& bubbles_on = s.u8("face.face4");
    auto& bubbles = s.i16("face.mov");
    auto& travelling = s.u8("face.face5");
    auto& travel = s.i32("face.mo");

    if (run == 0) {
        // Reset; the car keeps its direction.
        travel = 0;
        bubbles = 0;
        slide = 0;
        bubbles_on = 0;
    } else if (run == 1) {
        slide = add16(slide, 10);
        if (slide >= kSlideEnd) {  // the picture is in place: phases 2 and 3
            bubbles = add16(bubbles, 1);
            if (bubbles <= kBubbles) {
                bubbles_on = 1;
                slide = kSlideEnd;
            } else {
                // Computed wide: an offset near the 32-bit minimum restarts the cycle
                // instead of wrapping round to a large positive offset.
                int64_t next = int64_t{travel} - 20;
                if (next > kTravelEnd) {
                    bubbles_on = 1;
                    travelling = 1;
                    travel = static_cast<int32_t>(next);
                    bubbles = kBubbles;
                    slide = kSlideEnd;
                } else {
                    bubbles_on = 0;
                    travelling = 0;
                    travel = 0;
                    bubbles = 0;
                    slide = 0;
                }
            }
        }
    }
    // Any other run value holds the picture where it is.
    s.write_back();
}

void page_tab_on_picture() {
    show_then_hide("21", "3");
}
void picture_tab_on_picture() {
    show_then_hide("3", "21");
}
void page_tab_on_page() {
    show_then_hide("21", "3");
}
void picture_tab_on_page() {
    show_then_hide("3", "21");
}

void home_from_picture() {
    show_then_hide("main", "3");
}
void home_from_page() {
    show_then_hide("main", "21");
}
void home_from_window20() {
    show_then_hide("main", "20");
}
void home_from_equipment() {
    show_then_hide("main", "Equipment");
}

}  // namespace hmi::water
