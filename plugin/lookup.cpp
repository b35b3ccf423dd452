// The host finds every handler by window, widget and event or property name.
#include <stdlib.h>
#include <string.h>

#include "plugin/export.hpp"
#include "plugin/hmi_abi.h"

namespace {
constexpr char kSeparator[] = "_";
}

HMI_EXPORT void* hmi_widget_get_func(const hmi_func_row* table, const char* window,
                                     const char* widget, const char* name) {
    // The window is never null in a host that keeps the contract; answering 0 costs nothing.
    if (window == nullptr || widget == nullptr || name == nullptr) return nullptr;

    size_t size = strlen(window) + strlen(widget) + strlen(name) + 3;
    char* key = static_cast<char*>(malloc(size));
    if (key == nullptr) return nullptr;
    strcpy(key, window);
    strcat(key, kSeparator);
    strcat(key, widget);
    strcat(key, kSeparator);
    strcat(key, name);

    void* found = nullptr;
    if (table != nullptr) {
        for (const hmi_func_row* row = table; row->key != nullptr; ++row) {
            if (strcmp(row->key, key) == 0) {
                found = row->func;
                break;
            }
        }
    }
    free(key);
    return found;
}
