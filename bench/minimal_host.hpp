// The host of the library benchmarks (see minimal_host.cpp).
#pragma once

#include <string>

namespace hmi::bench {

// Every tag of the catalogue file, at its initial value.
void load_tags(const std::string& catalogue);

// The value cell of a tag (a fresh zeroed one for a name the catalogue lacks).
unsigned char* value_of(const char* name);

}  // namespace hmi::bench
