#include "tokenstream.h"

#include "json/reader.h"
#include "json/skip.h"

#include <gtest/gtest.h>

namespace {

// Skips one value from the first token and tells what is current then, or
// the error text.
std::string skip_text(const std::string& text)
{
    ajson::reader rd(text.c_str());
    const std::string error = jsontest::error_of([&] {
        rd.next();
        ajson::skip(rd);
    });
    return error.empty() ? jsontest::describe(rd.current()) : error;
}

struct SkipCase
{
    std::string text;
    std::string after;
};

class Skip : public testing::TestWithParam<SkipCase>
{
};

TEST_P(Skip, LeavesTheTokenAfterTheValue)
{
    EXPECT_EQ(skip_text(GetParam().text), GetParam().after);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, Skip, testing::Values(
    SkipCase { "\"s\" z ", "s(z)" },
    // commas are optional in arrays and empty elements are fine
    SkipCase { R"([,1,,[2,{"k":[3]}] "x"] z )", "s(z)" },
    // a level reused for the other kind, then uncovered again by a pop
    SkipCase { R"({"a":{"c":2},"b":[[1] 2]} z )", "s(z)" },
    // numbers may be keys, commas are optional and a missing value leaves
    // its symbol for the next round
    SkipCase { R"({1:2 "a":, "b":} z )", "s(z)" },
    // a symbol that starts no value is not consumed
    SkipCase { "] z ", "]" }));

INSTANTIATE_TEST_SUITE_P(Errors, Skip, testing::Values(
    SkipCase { "[1 : 2]", "error at line :0 col :4 msg:invalid json document!" },
    SkipCase { "{[", "error at line :0 col :2 msg:invalid json document!" },
    SkipCase { "[\n{\"a\" 1}]", "error at line :1 col :7 msg:invalid json document!" }));
// clang-format on

std::string repeat(const std::string& part, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += part;
    return out;
}

// Iterative, past the inline levels of the nesting record.
TEST(Skip, DeepNestingNeitherExhaustsTheStackNorLosesALevelsKind)
{
    EXPECT_EQ(skip_text(repeat("[", 1000000) + repeat("]", 1000000) + " z "), "s(z)");
    // kinds in a period of three: a level mixed up with one 64 deeper differs
    EXPECT_EQ(skip_text(repeat(R"({"k":[[)", 1000) + "1" + repeat("]]}", 1000) + " z "), "s(z)");
}

} // namespace
