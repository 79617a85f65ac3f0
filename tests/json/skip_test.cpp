#include "tokenstream.h"

#include "json/nesting.h"
#include "json/reader.h"
#include "json/skip.h"

#include <gtest/gtest.h>

namespace {

struct SkipCase
{
    std::string text;
    std::string after; // the token current after the skip, or the error text
};

// Skips one value from the first token and tells what is current then.
std::string skip_text(const std::string& text)
{
    ajson::reader rd(text.c_str());
    std::string error = jsontest::error_of([&] {
        rd.next();
        ajson::skip(rd);
    });
    return error.empty() ? jsontest::describe(rd.current()) : error;
}

class Skip : public testing::TestWithParam<SkipCase>
{
};

TEST_P(Skip, LeavesTheTokenAfterTheValue)
{
    EXPECT_EQ(skip_text(GetParam().text), GetParam().after);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Values, Skip, testing::Values(
    SkipCase { R"([1,[2,{"k":[3]}],"x"] z )", "s(z)" },
    SkipCase { "\"s\" z ", "s(z)" },
    SkipCase { "-4.5 z ", "s(z)" },
    SkipCase { "{} z ", "s(z)" },
    SkipCase { R"({"a":[1],"b":{"c":2}} z )", "s(z)" },
    SkipCase { "", "end" }));
// clang-format on

// Commas are optional, empty elements are fine, numbers may be keys and a
// missing value leaves its symbol for the next round.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lenient, Skip, testing::Values(
    SkipCase { "[,1,,] z ", "s(z)" },
    SkipCase { "[1 2 \"a\" b] z ", "s(z)" },
    SkipCase { R"({"a":1 "b":2} z )", "s(z)" },
    SkipCase { R"({"a":[1] "b":{}} z )", "s(z)" },
    SkipCase { "{1:2, 3.5:x} z ", "s(z)" },
    SkipCase { R"({"a":,"b":1} z )", "s(z)" },
    SkipCase { R"({"a":} z )", "s(z)" }));
// clang-format on

// A symbol that starts no value is not consumed.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Symbols, Skip, testing::Values(
    SkipCase { "] z ", "]" },
    SkipCase { ", z ", "," },
    SkipCase { ": z ", ":" }));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(Errors, Skip, testing::Values(
    SkipCase { "[1 : 2]", "error at line :0 col :4 msg:invalid json document!" },
    SkipCase { "[1,2", "error at line :0 col :4 msg:invalid json document!" },
    SkipCase { "[}", "error at line :0 col :2 msg:invalid json document!" },
    SkipCase { "{[", "error at line :0 col :2 msg:invalid json document!" },
    SkipCase { R"({"a" 1})", "error at line :0 col :6 msg:invalid json document!" },
    SkipCase { R"({"a":1)", "error at line :0 col :6 msg:invalid json document!" },
    SkipCase { R"({"a":[1 : 2]})", "error at line :0 col :9 msg:invalid json document!" },
    SkipCase { "[\n{\"a\"}]", "error at line :1 col :6 msg:invalid json document!" }));

std::string repeat(const std::string& part, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += part;
    return out;
}

TEST(SkipDeep, MillionNestedArraysDoNotExhaustTheStack)
{
    EXPECT_EQ(skip_text(repeat("[", 1000000) + repeat("]", 1000000) + " z "), "s(z)");
}

TEST(SkipDeep, ObjectsAndArraysAlternatePastTheInlineLevels)
{
    const std::string text = repeat(R"({"k":[)", 1000) + "1" + repeat("]}", 1000) + " z ";
    EXPECT_EQ(skip_text(text), "s(z)");
    EXPECT_EQ(skip_text(repeat("{\"k\":[", 700) + "}"),
              "error at line :0 col :4201 msg:invalid json document!");
}

TEST(Nesting, KeepsEveryLevelsKind)
{
    ajson::detail::nesting levels;
    const auto kind = [](size_t level) { return level % 3 == 0 || level > 900; };
    for (size_t i = 0; i < 1000; ++i)
        levels.push(kind(i));
    EXPECT_EQ(levels.depth(), 1000u);
    for (size_t i = 1000; i-- > 0;) {
        ASSERT_EQ(levels.in_object(), kind(i)) << i;
        levels.pop();
    }
    EXPECT_TRUE(levels.empty());
    levels.push(false);
    EXPECT_FALSE(levels.in_object());
}

} // namespace

// clang-format on