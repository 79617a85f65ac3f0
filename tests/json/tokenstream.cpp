#include "tokenstream.h"

#include "json/reader.h"

#include <cstdio>

namespace jsontest {

std::string describe(const ajson::token& t)
{
    const std::string text(t.chars, t.length);
    const std::string sign = t.negative ? "-" : "";
    char real[32];
    switch (t.kind) {
    case ajson::token_kind::string:
        return "s(" + text + ")";
    case ajson::token_kind::signed_integer:
        return "i(" + text + ")=" + sign + std::to_string(t.value.integer);
    case ajson::token_kind::unsigned_integer:
        return "u(" + text + ")=" + std::to_string(t.value.integer);
    case ajson::token_kind::real:
        std::snprintf(real, sizeof real, "%.17g", t.value.real);
        return "r(" + text + ")=" + sign + real;
    case ajson::token_kind::symbol:
        return text;
    case ajson::token_kind::end:
        return "end";
    }
    return "?";
}

std::vector<std::string> tokens(const std::string& text, size_t limit)
{
    ajson::reader rd(text.c_str(), limit);
    std::vector<std::string> out;
    const std::string error = error_of([&] {
        do {
            rd.next();
            out.push_back(describe(rd.current()));
        } while (rd.current().kind != ajson::token_kind::end);
    });
    return error.empty() ? out : std::vector<std::string>{error};
}

} // namespace jsontest
