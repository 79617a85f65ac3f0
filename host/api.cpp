#include "api.h"

namespace krt {

api& api::get()
{
    // Function-local static: built once, thread-safe, on first use.
    static api holder;
    return holder;
}

} // namespace krt
