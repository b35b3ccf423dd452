// Every handler of both tables, in any order, against a host whose tag values and texts
// come from the fuzzer: nothing may crash, read or write out of bounds, or leak.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_host.hpp"
#include "plugin/hmi_abi.h"

namespace {
std::vector<const hmi_func_row*> rows(const hmi_func_row* table) {
    std::vector<const hmi_func_row*> all;
    for (const hmi_func_row* row = table; row->key != nullptr; ++row) all.push_back(row);
    return all;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<const hmi_func_row*> events = rows(event_funcs);
    static const std::vector<const hmi_func_row*> properties = rows(prop_funcs);

    hmi::fuzz::Bytes bytes(data, size);
    hmi::fuzz::begin(bytes);
    for (int calls = 0; calls < 16 && !bytes.empty(); ++calls) {
        uint8_t pick = bytes.byte();
        if (pick & 1) {
            if (events.empty()) continue;
            const hmi_func_row* row = events[bytes.byte() % events.size()];
            reinterpret_cast<hmi_event_func>(row->func)();
        } else {
            if (properties.empty()) continue;
            const hmi_func_row* row =
                properties[(bytes.byte() << 8 | bytes.byte()) % properties.size()];
            std::string key = row->key;
            size_t width = hmi::fuzz::property_width(key.substr(key.rfind('_') + 1));
            // The widget's current value, exactly as wide as its kind (texts may come
            // unterminated).
            auto value = std::make_unique<unsigned char[]>(width);
            for (size_t i = 0; i < width; ++i) value[i] = bytes.byte();
            reinterpret_cast<hmi_prop_func>(row->func)(value.get());
            if (width == HMI_TEXT_VALUE_SIZE && value[width - 1] != '\0') {
                // A property that stored must have ended its text; one that did not
                // store leaves the host's bytes as they were. Either way no overrun:
                // the sanitizer watches the 16 bytes.
            }
        }
    }
    hmi::fuzz::end();
    return 0;
}
