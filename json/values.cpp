#include "json/values.h"

#include "json/escape.h"
#include "json/reader.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace ajson {

namespace {

int32_t low_bits(uint64_t value)
{
    return int32_t(uint32_t(value));
}

int32_t truncate_saturating(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

bool is_true(const token& t)
{
    static const char word[] = "true";
    if (t.length != 4)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        if ((t.chars[i] | 0x20) != word[i])
            return false;
    }
    return true;
}

int32_t word_value(const token& t)
{
    if (is_true(t))
        return 1;
    // A copy, so strtoll cannot read on past the token.
    const std::string digits(t.chars, t.length);
    return low_bits(uint64_t(std::strtoll(digits.c_str(), nullptr, 10)));
}

} // namespace

void read_value(reader& rd, std::string& value)
{
    const token& t = rd.current();
    if (t.kind != token_kind::string || !escape_string(value, t.chars, t.length))
        rd.error("not a valid string.");
}

void read_value(reader& rd, int32_t& value)
{
    const token& t = rd.current();
    switch (t.kind) {
    case token_kind::unsigned_integer:
        value = low_bits(t.value.integer);
        return;
    case token_kind::signed_integer:
        value = low_bits(t.negative ? 0 - t.value.integer : t.value.integer);
        return;
    case token_kind::real:
        value = truncate_saturating(t.value.real);
        value = t.negative ? -value : value;
        return;
    case token_kind::string:
        value = word_value(t);
        return;
    default:
        rd.error("not a valid signed integral like number.");
    }
}

} // namespace ajson
