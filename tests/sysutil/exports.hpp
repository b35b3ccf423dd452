// The system utilities as a host binds them: by name, from the loaded library.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/library.hpp"

namespace hmi::test {

template <class F>
F bound(const char* name) {
    void* f = Library::get().symbol(name);
    EXPECT_NE(f, nullptr) << name << " is not exported";
    return reinterpret_cast<F>(f);
}

#define HMI_BOUND(name) const decltype(&::name) name = bound<decltype(&::name)>(#name)

struct Utilities {
    HMI_BOUND(sys_exec_program);
    HMI_BOUND(sys_exec_program_arg1);
    HMI_BOUND(is_process_run);
    HMI_BOUND(kill_program);
    HMI_BOUND(audio_stop_play);
    HMI_BOUND(audio_play_wav);
    HMI_BOUND(datetime_add);
    HMI_BOUND(hmi_get_usr_data_dir);
    HMI_BOUND(hmi_get_cfcard_dir);
    HMI_BOUND(hmi_get_usb_dir);
    HMI_BOUND(hmi_get_project_dir);
};

#undef HMI_BOUND

}  // namespace hmi::test
