// The water treatment windows: the animated process picture "3", its second page
// "21" with the input lamps and two instruments, and the pictures "20" and
// "Equipment", which only lead back home.
#pragma once

#include <stdint.h>

namespace hmi::water {

// The bubbles of the process picture: the animation raises `face.mov` one a tick up
// to this count, and bubble N is shown while the count is from N to this.
constexpr int16_t kBubbles = 9;

void animation_step();
// The tabs of the process picture and of the second page.
void page_tab_on_picture();
void picture_tab_on_picture();
void page_tab_on_page();
void picture_tab_on_page();
// The home pictures.
void home_from_picture();
void home_from_page();
void home_from_window20();
void home_from_equipment();

}  // namespace hmi::water
