// The lookup with any bytes for window, widget and name, very long names and nulls.
#include <cstdint>
#include <string>

#include "plugin/hmi_abi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    uint8_t nulls = data[0];
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    // Three texts separated by the first two NULs of the input.
    size_t a = input.find('\0');
    size_t b = a == std::string::npos ? a : input.find('\0', a + 1);
    std::string window = input.substr(0, a);
    std::string widget = a == std::string::npos ? "" : input.substr(a + 1, b - a - 1);
    std::string name = b == std::string::npos ? "" : input.substr(b + 1);
    const char* w = nulls & 1 ? nullptr : window.c_str();
    const char* g = nulls & 2 ? nullptr : widget.c_str();
    const char* n = nulls & 4 ? nullptr : name.c_str();
    void* found =
        nulls & 8 ? hmi_widget_get_event_func(w, g, n) : hmi_widget_get_dyn_prop_func(w, g, n);
    void* direct =
        hmi_widget_get_func(nulls & 16 ? nullptr : (nulls & 8 ? event_funcs : prop_funcs), w, g, n);
    if (!(nulls & 16) && found != direct) __builtin_trap();  // the two ways must agree
    if ((w == nullptr || g == nullptr || n == nullptr) && found != nullptr) __builtin_trap();
    return 0;
}
