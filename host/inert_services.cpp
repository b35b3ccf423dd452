// Window, input and parameter services that do nothing, for hosts that only measure or
// fuzz the library (the benchmark host, the fuzz host): the library tests no result
// of these, so answering 0 is all they need.
#include "plugin/hmi_abi.h"

extern "C" {

int hmi_window_show(const char*) {
    return 0;
}
int hmi_window_hide(const char*) {
    return 0;
}
int hmi_center_window(const char*) {
    return 0;
}
int hmi_window_show_modal(const char*) {
    return 0;
}
int hmi_window_exit_modal(const char*) {
    return 0;
}
int data_input_window(const char*, const char*, double, double, int) {
    return 0;
}
int rtdb_param_rtdb_to_mem(void) {
    return 0;
}
int sys_save_params(void) {
    return 0;
}
int rtdb_param_mem_to_rtdb(void) {
    return 0;
}

}  // extern "C"
