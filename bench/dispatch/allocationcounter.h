#pragma once

namespace bench {

// Heap allocations made through the global operator new since start-up.
// This file's source replaces the global operator new, so everything in the
// process counts: the core, Qt and the standard library alike.
long allocationCount();

} // namespace bench
