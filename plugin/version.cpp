// The library's version, recorded in a section of its own: `readelf -p .hmiscript.version`
// and `strings` show it, and a host finds it by the section's name in the file. It has no
// symbol outside the library, so the exported names stay those of the contract.
#include "hmi_version.h"

namespace {

[[gnu::used, gnu::section(".hmiscript.version")]] const char kVersion[] = "hmiscript " HMI_VERSION;

}  // namespace
