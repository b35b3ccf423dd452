// The C library's rand(), counted. Some property functions draw a random value at
// every poll; the simulator must poll those every time, and it knows them by their
// calls. A program that links the engine exports this rand(), so the script library
// binds to it instead of the C library's; it gives the same numbers, since the C
// library's rand() is its random() (srand() seeds both).
//
// <cstdlib> is left out on purpose: its declarations would clash with this definition.
extern "C" long random(void) noexcept;

namespace hmi::sim {
unsigned long g_random_draws = 0;
}

extern "C" int rand(void) noexcept {
    ++hmi::sim::g_random_draws;
    return static_cast<int>(random());
}
