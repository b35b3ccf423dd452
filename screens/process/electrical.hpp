// Window "17", the electrical demonstration: four values rising by fixed steps
// while the simulation runs, three range lamps and two indicators derived from
// the second value, meters, texts, a curve, and a picture placed by the indicators.
#pragma once

#include <stdint.h>

namespace hmi::electrical {

void simulation_step();
void start();
void stop();
void home();
template <int Picture>
void inert_picture();

}  // namespace hmi::electrical
