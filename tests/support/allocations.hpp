// Counts the heap allocations the script library makes (the host's own are left out).
#pragma once

namespace hmi::test {

struct Allocations {
    long allocated = 0;
    long freed = 0;
};

// Counting runs between start and stop; nothing is counted while a host service runs.
void start_counting();
Allocations stop_counting();

// False where the program's allocator is replaced from outside (valgrind): counts are
// then always 0, and the tool itself watches for leaks.
bool counting_works();

}  // namespace hmi::test
