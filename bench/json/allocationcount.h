#pragma once

#include <cstdint>

// Heap allocations made by this process since it started: operator new and
// the C library's malloc, calloc and realloc (Qt allocates its strings and
// documents with malloc), each call counted once.
uint64_t allocation_count();
