// The host services the script library imports, acting on the installed Host.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/host.hpp"
#include "plugin/hmi_abi.h"

using hmi::host::Host;
using hmi::host::WindowCall;

namespace {
int g_service_depth = 0;

// Every service runs inside one: it finds the installed host, and allocation counts
// can tell what the host allocates from what the library does.
struct Service {
    Service() { ++g_service_depth; }
    ~Service() { --g_service_depth; }
    Service(const Service&) = delete;

    Host& host() const {
        Host* h = hmi::host::installed();
        if (h == nullptr) {
            std::fputs("host service called with no host installed\n", stderr);
            std::abort();
        }
        return *h;
    }
};

template <class... Args>
std::string printed(const char* format, Args... args) {
    char buffer[64];
    int size = std::snprintf(buffer, sizeof buffer, format, args...);
    if (size >= 0 && static_cast<size_t>(size) < sizeof buffer) return std::string(buffer, size);
    std::string text(size > 0 ? size : 0, '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

// The description of a formatting call, only when the host records such calls.
template <class... Args>
std::string described(const Service& s, const char* format, Args... args) {
    return s.host().records(hmi::host::Topic::Format) ? printed(format, args...) : std::string();
}
}  // namespace

bool hmi::host::in_service() {
    return g_service_depth > 0;
}

extern "C" {

void* hmidb_get_data_value(const char* name) {
    return Service().host().get_value(name);
}
int hmidb_set_data_value(const char* name, const void* value) {
    return Service().host().set_value(name, value);
}
void* hmidb_get_data_value_by_ptr(const char* name, void** slot) {
    return Service().host().get_value_by_slot(name, slot);
}

int hmi_window_show(const char* window) {
    return Service().host().window(WindowCall::Show, window);
}
int hmi_window_hide(const char* window) {
    return Service().host().window(WindowCall::Hide, window);
}
int hmi_center_window(const char* window) {
    return Service().host().window(WindowCall::Center, window);
}
int hmi_window_show_modal(const char* window) {
    return Service().host().window(WindowCall::ShowModal, window);
}
int hmi_window_exit_modal(const char* window) {
    return Service().host().window(WindowCall::ExitModal, window);
}

int msgbox(const char* title, const char* text, int style) {
    return Service().host().message_box(title, text, style);
}
int data_input_window(const char* tag, const char* prompt, double minimum, double maximum,
                      int option) {
    return Service().host().input(tag, prompt, minimum, maximum, option);
}

int rtdb_param_rtdb_to_mem(void) {
    return Service().host().params_to_memory();
}
int sys_save_params(void) {
    return Service().host().save_params();
}
int rtdb_param_mem_to_rtdb(void) {
    return Service().host().params_from_memory();
}
int rtdb_get_data_value_by_name(const char* group, const char* name, void* value) {
    return Service().host().lookup_by_group(group, name, value);
}

// Number formats of this host: option n of long2str2 pads to n digits with zeros.
char* long2str(long value) {
    Service s;
    return s.host().hold(printed("%ld", value), described(s, "long2str %ld", value));
}
char* long2str2(long value, int option) {
    Service s;
    std::string text = option > 0 ? printed("%0*ld", option, value) : printed("%ld", value);
    return s.host().hold(text, described(s, "long2str2 %ld %d", value, option));
}
char* float2str3(float value, int width, int decimals) {
    Service s;
    return s.host().hold(
        printed("%*.*f", width, decimals, static_cast<double>(value)),
        described(s, "float2str3 %.9g %d %d", static_cast<double>(value), width, decimals));
}
char* double2str2(double value, int decimals) {
    Service s;
    return s.host().hold(printed("%.*f", decimals, value),
                         described(s, "double2str2 %.17g %d", value, decimals));
}
char* strjoin(const char* first, const char* second) {
    Service s;
    return s.host().hold(std::string(first ? first : "") + (second ? second : ""), "strjoin");
}

int gettimeinfo(unsigned int datetime, int* year, int* month, int* day, int* hour, int* minute,
                int* second) {
    int* fields[6] = {year, month, day, hour, minute, second};
    return Service().host().time_info(datetime, fields);
}

char* sys_get_file_path(const char* name) {
    Service s;
    return s.host().hold(s.host().project_dir + (name ? name : ""), "sys_get_file_path");
}

}  // extern "C"
