// datetime_add with any six fields, any offset and any null pointers, in a zone with
// daylight saving and in one without: a failure leaves every field as it was, a
// success gives fields in their usual ranges.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "fuzz/fuzz_host.hpp"
#include "plugin/hmi_abi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kZones[] = {"UTC0", "CST-8", "EST5EDT,M3.2.0,M11.1.0",
                                         "NZST-12NZDT,M9.5.0,M4.1.0/3"};
    hmi::fuzz::Bytes bytes(data, size);
    uint8_t choice = bytes.byte();
    setenv("TZ", kZones[choice % 4], 1);
    tzset();

    int fields[6];
    for (int& f : fields) f = static_cast<int>(bytes.word());
    if (choice & 0x10) {  // mostly plausible dates, so that the arithmetic is reached
        fields[0] = 1900 + static_cast<int>(fields[0] % 200);
        fields[1] = fields[1] % 14;
        fields[2] = fields[2] % 33;
    }
    int offset = static_cast<int>(bytes.word());
    uint8_t nulls = bytes.byte();
    int* p[6];
    for (int i = 0; i < 6; ++i) p[i] = (nulls >> i) & 1 ? nullptr : &fields[i];

    int before[6];
    std::memcpy(before, fields, sizeof fields);
    int result = datetime_add(p[0], p[1], p[2], p[3], p[4], p[5], offset);
    if (result == 0) {
        if (std::memcmp(before, fields, sizeof fields) != 0) __builtin_trap();
    } else if (result == 1) {
        if (p[1] && (fields[1] < 1 || fields[1] > 12)) __builtin_trap();
        if (p[2] && (fields[2] < 1 || fields[2] > 31)) __builtin_trap();
        if (p[3] && (fields[3] < 0 || fields[3] > 23)) __builtin_trap();
        if (p[4] && (fields[4] < 0 || fields[4] > 59)) __builtin_trap();
        if (p[5] && (fields[5] < 0 || fields[5] > 60)) __builtin_trap();
        if (p[0] && (fields[0] < 1901 || fields[0] > 2038)) __builtin_trap();
    } else {
        __builtin_trap();
    }
    return 0;
}
