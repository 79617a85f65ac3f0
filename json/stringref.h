#pragma once

#include <cstddef>
#include <cstring>

namespace ajson {
namespace detail {

// Characters that belong to someone else: a member name or a token.
struct string_ref
{
    const char* chars = nullptr;
    size_t length = 0;

    // Length first: most names differ there, and it is cheap.
    bool operator==(const string_ref& other) const
    {
        return length == other.length && std::memcmp(chars, other.chars, length) == 0;
    }
    bool operator!=(const string_ref& other) const { return !(*this == other); }
};

} // namespace detail
} // namespace ajson
