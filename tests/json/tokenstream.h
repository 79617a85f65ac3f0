#pragma once

#include <string>
#include <vector>

namespace ajson {
struct token;
} // namespace ajson

namespace jsontest {

// One token as text: its kind, its characters in parentheses and, for
// numbers, its value: "u(12)=12", "r(1e-2)=0.010000000000000002", "s(a)",
// "{", "end".
std::string describe(const ajson::token& t);

// Every token of text up to and including the first end token, or the
// error text alone when the reader raises one.
std::vector<std::string> tokens(const std::string& text, size_t limit = 0);

// The error text that running f raises, or "" when it raises none.
template <typename F> std::string error_of(F&& f);

} // namespace jsontest

#include "json/exception.h"

template <typename F> std::string jsontest::error_of(F&& f)
{
    try {
        f();
    } catch (const ajson::exception& e) {
        return e.what();
    }
    return {};
}
