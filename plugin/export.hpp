// Marks the library's exported names; everything else is hidden.
#pragma once

#define HMI_EXPORT extern "C" __attribute__((visibility("default")))
