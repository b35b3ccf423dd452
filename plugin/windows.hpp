// Lists of windows that a handler shows or hides in one go, in call order.
#pragma once

#include <stddef.h>

#include "plugin/hmi_abi.h"

namespace hmi {

template <size_t N>
void hide_all(const char* const (&windows)[N]) {
    for (const char* window : windows) hmi_window_hide(window);
}

}  // namespace hmi
