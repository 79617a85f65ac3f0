#include "json/fieldlist.h"

#include "json/chartable.h"

namespace ajson {
namespace detail {

namespace {

bool separates(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return c == ',' || (code >= 1 && code <= 32 && char_table[code] == char_space);
}

} // namespace

std::vector<string_ref> split_fields(const char* text)
{
    std::vector<string_ref> names;
    const char* start = text;
    for (const char* p = text;; ++p) {
        if (*p != '\0' && !separates(*p))
            continue;
        if (p != start)
            names.push_back({start, size_t(p - start)});
        if (*p == '\0')
            return names;
        start = p + 1;
    }
}

} // namespace detail
} // namespace ajson
