// Lists of windows that a handler shows or hides in one go, in call order.
#pragma once

#include <stddef.h>

#include "plugin/hmi_abi.h"

namespace hmi {

// Unrolled at the call, so that each name is an address taken relative to the code: no
// array of pointers, and no load-time relocation each, is left in the library.
template <size_t N>
[[gnu::always_inline]] inline void hide_all(const char* const (&windows)[N]) {
#pragma GCC unroll 32
    for (const char* window : windows) hmi_window_hide(window);
}

}  // namespace hmi
