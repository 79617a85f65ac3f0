#pragma once

#include <cstddef>
#include <cstdint>

namespace ajson {

// The first four kinds are the scalars: a kind at most `real` is a scalar.
enum class token_kind : int32_t { string, signed_integer, unsigned_integer, real, symbol, end };

inline bool is_scalar(token_kind kind)
{
    return kind <= token_kind::real;
}

// One token, a view into the reader's input. A quoted string starts after
// its opening quote and keeps its escape sequences undecoded. Numbers keep
// their magnitude in value; a leading '-' only sets negative.
struct token
{
    const char* chars = nullptr;
    size_t length = 0;
    token_kind kind = token_kind::end;
    union {
        uint64_t integer;
        double real;
    } value = {0};
    bool negative = false;

    // Tests the first character whatever the kind, as the object reader
    // does: a quoted "," passes for a comma there.
    bool is(char symbol) const { return *chars == symbol; }
};

} // namespace ajson
