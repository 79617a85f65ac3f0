#include "allocationcount.h"

#include <atomic>
#include <cstddef>
#include <new>

// glibc's own entry points, so that the replacements below can count and
// forward without calling themselves.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* p, size_t size);
extern "C" void __libc_free(void* p);

namespace {

std::atomic<uint64_t> g_allocations{0};

void* counted(void* p)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void* new_or_throw(size_t size)
{
    void* p = __libc_malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return counted(p);
}

} // namespace

uint64_t allocation_count()
{
    return g_allocations.load(std::memory_order_relaxed);
}

extern "C" {
void* malloc(size_t size)
{
    return counted(__libc_malloc(size));
}
void* calloc(size_t count, size_t size)
{
    return counted(__libc_calloc(count, size));
}
void* realloc(void* p, size_t size)
{
    return counted(__libc_realloc(p, size));
}
void free(void* p)
{
    __libc_free(p);
}
}

void* operator new(size_t size)
{
    return new_or_throw(size);
}
void* operator new[](size_t size)
{
    return new_or_throw(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return counted(__libc_malloc(size ? size : 1));
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return counted(__libc_malloc(size ? size : 1));
}
void operator delete(void* p) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p) noexcept
{
    __libc_free(p);
}
void operator delete(void* p, size_t) noexcept
{
    __libc_free(p);
}
void operator delete[](void* p, size_t) noexcept
{
    __libc_free(p);
}
