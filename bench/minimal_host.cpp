// The host of the library benchmarks: every service a panel gives the script library,
// each as cheap as a host can make it, so that what is measured is the library.
//
// Tags come from the panel's catalogue with their initial values. A lookup cache
// slot holds the address of the tag's value once its name has been looked up, so a
// poll through a filled slot costs the host one test and one load. The text services
// hand out fixed texts (what a property makes of them is the library's work; the
// host's number formatting is not measured), the dialogs answer at once and writes
// are dropped: the benchmarks poll and look up, they fire no event function.
#include "bench/minimal_host.hpp"

#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "host/tags.hpp"
#include "plugin/hmi_abi.h"

namespace hmi::bench {
namespace {

struct alignas(8) Cell {
    unsigned char bytes[HMI_TEXT_TAG_SIZE] = {};
};

std::unique_ptr<host::TagStore> g_tags;           // names resolve as in every other host
std::unordered_map<std::string, Cell> g_unknown;  // a zeroed cell for each name no tag has

}  // namespace

void load_tags(const std::string& catalogue) {
    g_tags = std::make_unique<host::TagStore>(host::Catalogue::load(catalogue));
}

unsigned char* value_of(const char* name) {
    if (host::Tag* tag = g_tags->find(name)) return tag->value;
    return g_unknown[name].bytes;  // node-based: the address stays
}

}  // namespace hmi::bench

using hmi::bench::value_of;

extern "C" {

void* hmidb_get_data_value(const char* name) {
    return value_of(name);
}
int hmidb_set_data_value(const char*, const void*) {
    return 0;  // the benchmarks fire no event function
}
void* hmidb_get_data_value_by_ptr(const char* name, void** slot) {
    if (*slot == nullptr) *slot = value_of(name);
    return *slot;
}

int msgbox(const char*, const char*, int) {
    return 0;
}
int rtdb_get_data_value_by_name(const char*, const char* name, void* value) {
    std::memcpy(value, value_of(name), 1);
    return 0;
}

char* long2str(long) {
    static char text[] = "12";
    return text;
}
char* long2str2(long, int) {
    static char text[] = "0012";
    return text;
}
char* float2str3(float, int, int) {
    static char text[] = "1.25";
    return text;
}
char* double2str2(double, int) {
    static char text[] = "1.2";
    return text;
}
char* strjoin(const char*, const char*) {
    static char text[] = "1.2%";
    return text;
}
int gettimeinfo(unsigned int, int* year, int* month, int* day, int* hour, int* minute,
                int* second) {
    *year = 2024, *month = 3, *day = 1, *hour = 0, *minute = 10, *second = 0;
    return 0;
}
char* sys_get_file_path(const char*) {
    static char text[] = "/home/project/";
    return text;
}

}  // extern "C"
