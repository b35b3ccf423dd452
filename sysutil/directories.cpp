// The panel's storage locations. The fixed ones carry no trailing slash; the project
// directory is whatever the host names for the empty file name.
#include "plugin/export.hpp"
#include "plugin/hmi_abi.h"

namespace {
constexpr char kUserData[] = "/home/ftp/data";
constexpr char kCfCard[] = "/cfcard";
constexpr char kUsb[] = "/mnt";
}  // namespace

HMI_EXPORT const char* hmi_get_usr_data_dir(void) {
    return kUserData;
}

HMI_EXPORT const char* hmi_get_cfcard_dir(void) {
    return kCfCard;
}

HMI_EXPORT const char* hmi_get_usb_dir(void) {
    return kUsb;
}

HMI_EXPORT char* hmi_get_project_dir(void) {
    return sys_get_file_path("");
}
