// Whole transfers on a file descriptor: a short transfer goes on where it stopped, and
// one cut by a signal is started again.
#pragma once

#include <cstddef>

namespace hmi::sim {

// False with errno set when not all was written (ENOSPC when nothing more would go).
bool write_fully(int fd, const void* data, size_t size);
// False at the end of the input before `size` bytes, or with errno set on an error.
bool read_fully(int fd, void* data, size_t size);

}  // namespace hmi::sim
