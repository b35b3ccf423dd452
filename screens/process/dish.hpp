// Window "8", the dish screen of group `dish`: a lamp with its caption, a display
// switch, a colour-changing ellipse and three calculation buttons (a trigonometric
// expression with a power of ten, a bit of an integer, two texts joined).
#pragma once

namespace hmi::dish {

void switch_display_on();
void go_home();
void extract_bit();
void join_texts();
void calculate();
void toggle_ellipse();

}  // namespace hmi::dish
