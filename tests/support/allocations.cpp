// Allocation counting. A sanitizer build has its own allocator with hooks for this;
// otherwise this program's malloc family stands in front of the C library's.
#include "tests/support/allocations.hpp"

#include <cstddef>

#include "host/host.hpp"

namespace {
bool g_counting = false;
hmi::test::Allocations g_counts;

void count_allocation() {
    if (g_counting && !hmi::host::in_service()) ++g_counts.allocated;
}
void count_free(const volatile void* p) {
    if (p != nullptr && g_counting && !hmi::host::in_service()) ++g_counts.freed;
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// Declared here: GCC's sanitizer headers lack allocator_interface.h; libasan has the hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {
void malloc_hook(const volatile void*, size_t) {
    count_allocation();
}
void free_hook(const volatile void* p) {
    count_free(p);
}
const int g_hooks = __sanitizer_install_malloc_and_free_hooks(malloc_hook, free_hook);
}  // namespace
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t size) {
    count_allocation();
    return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) {
    count_allocation();
    return __libc_calloc(n, size);
}
void* realloc(void* p, size_t size) {
    if (p == nullptr) count_allocation();
    return __libc_realloc(p, size);
}
void free(void* p) {
    count_free(p);
    __libc_free(p);
}
}
#endif

namespace hmi::test {

void start_counting() {
    g_counts = {};
    g_counting = true;
}

Allocations stop_counting() {
    g_counting = false;
    return g_counts;
}

}  // namespace hmi::test
