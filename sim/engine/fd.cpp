#include "sim/engine/fd.hpp"

#include <unistd.h>

#include <cerrno>

namespace hmi::sim {

bool write_fully(int fd, const void* data, size_t size) {
    const auto* at = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool read_fully(int fd, void* data, size_t size) {
    auto* at = static_cast<char*>(data);
    while (size > 0) {
        ssize_t n = ::read(fd, at, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace hmi::sim
