// Window "9": a piping picture whose lines light up in a repeating four-step
// sequence (nothing, return lines flashing, return and down lines steady, a pause),
// one step a tick of `timer7` while `main.page_open` is 1.
#pragma once

namespace hmi::animation {

void step();
void go_home();

}  // namespace hmi::animation
