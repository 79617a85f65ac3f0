#include "tokenstream.h"

#include "json/chartable.h"
#include "json/reader.h"

#include <gtest/gtest.h>

using ajson::reader;
using Tokens = std::vector<std::string>;

namespace {

struct StreamCase
{
    std::string text;
    Tokens expected;
};

class TokenStream : public testing::TestWithParam<StreamCase>
{
};

TEST_P(TokenStream, YieldsTokens)
{
    EXPECT_EQ(jsontest::tokens(GetParam().text), GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Reader, TokenStream, testing::Values(
    StreamCase { "", { "end" } },
    StreamCase { " \t\r\n", { "end" } },
    StreamCase { R"({"a":1})", { "{", "s(a)", ":", "u(1)=1", "}", "end" } },
    StreamCase { R"([1, "x" ,{}])", { "[", "u(1)=1", ",", "s(x)", ",", "{", "}", "]", "end" } },
    // words without quotes end at white space and structural characters
    StreamCase { "true false\tnull\n", { "s(true)", "s(false)", "s(null)", "end" } },
    StreamCase { "[a b,c:d]", { "[", "s(a)", "s(b)", ",", "s(c)", ":", "s(d)", "]", "end" } },
    StreamCase { "+1 .5 ", { "s(+1)", "s(.5)", "end" } },
    StreamCase { "a\"b/c\\d ", { "s(a\"b/c\\d)", "end" } },
    StreamCase { "\fa\x0b\x80 ", { "s(\fa\x0b\x80)", "end" } },
    // quoted strings keep their escapes raw; a raw tab is fine
    StreamCase { R"("ab\"c")", { "s(ab\\\"c)", "end" } },
    StreamCase { "\"\t\\\n\"", { "s(\t\\\n)", "end" } },
    StreamCase { R"("")", { "s()", "end" } },
    // comments
    StreamCase { "// note\n{}", { "{", "}", "end" } },
    StreamCase { "/* note */{}", { "{", "}", "end" } },
    StreamCase { "/***/{/**/}//", { "{", "}", "end" } },
    StreamCase { "{} /* never closed", { "{", "}", "end" } }));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(Numbers, TokenStream, testing::Values(
    StreamCase { "-12 ", { "i(-12)=-12", "end" } },
    StreamCase { "12,", { "u(12)=12", ",", "end" } },
    StreamCase { "7", { "u(7)=7", "end" } },
    StreamCase { "-", { "i(-)=-0", "end" } },
    StreamCase { "1.5e2 ", { "r(1.5e2)=150", "end" } },
    StreamCase { "1e++2 ", { "r(1e++2)=100", "end" } },
    StreamCase { "1.25}", { "r(1.25)=1.25", "}", "end" } },
    StreamCase { "-1.5]", { "r(-1.5)=-1.5", "]", "end" } },
    // scaling is one multiplication per power of ten, not correct rounding
    StreamCase { "1e-2 ", { "r(1e-2)=0.010000000000000002", "end" } },
    // a fraction digit is one fused multiply-add: 1.9 rounds up here
    StreamCase { "1.9 ", { "r(1.9)=1.9000000000000001", "end" } },
    // integers wrap in 64 bits
    StreamCase { "4294967297 ", { "u(4294967297)=4294967297", "end" } },
    StreamCase { "18446744073709551617 ", { "u(18446744073709551617)=1", "end" } },
    // an exponent without digits, or one that wraps to not positive, does not scale
    StreamCase { "1e ", { "r(1e)=1", "end" } },
    StreamCase { "2E-x ", { "r(2E-)=2", "s(x)", "end" } },
    StreamCase { "1e2147483648 ", { "r(1e2147483648)=1", "end" } },
    StreamCase { "1e999 ", { "r(1e999)=inf", "end" } },
    StreamCase { "1e-999 ", { "r(1e-999)=0", "end" } },
    StreamCase { "1e2.5 ", { "r(1e2)=100", "s(.5)", "end" } }));
// clang-format on

struct ErrorCase
{
    std::string text;
    std::string error;
};

class ReaderError : public testing::TestWithParam<ErrorCase>
{
};

TEST_P(ReaderError, NamesLineAndColumn)
{
    reader rd(GetParam().text.c_str());
    const std::string error = jsontest::error_of([&] {
        do
            rd.next();
        while (rd.current().kind != ajson::token_kind::end);
    });
    EXPECT_EQ(error, "error at line :" + GetParam().error);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Reader, ReaderError, testing::Values(
    ErrorCase { "/x", "0 col :1 msg:not a comment!" },
    ErrorCase { "{}\n /", "1 col :3 msg:not a comment!" },
    ErrorCase { "\"abc", "0 col :4 msg:not a valid quote string!" },
    ErrorCase { "\"", "0 col :1 msg:not a valid quote string!" },
    ErrorCase { "\"a\nb\"", "1 col :0 msg:not a valid quote string!" },
    ErrorCase { "\"a\\", "0 col :3 msg:not a valid quote string!" },
    ErrorCase { "abc", "0 col :3 msg:not a valid string!" },
    ErrorCase { "[1]\nab", "1 col :3 msg:not a valid string!" },
    ErrorCase { "{\n  \"a\": 1.2.3}", "1 col :11 msg:not a valid number!" },
    // carriage returns take no column
    ErrorCase { "\"\r\" 1.2.3", "0 col :6 msg:not a valid number!" },
    ErrorCase { "\r\n-1..", "1 col :4 msg:not a valid number!" }));
// clang-format on

TEST(Reader, EndRepeatsAtTheNul)
{
    const char text[] = "1 ";
    reader rd(text);
    rd.next();
    for (int i = 0; i < 3; ++i) {
        rd.next();
        EXPECT_EQ(rd.current().kind, ajson::token_kind::end);
        EXPECT_EQ(rd.current().chars, text + 2);
        EXPECT_EQ(rd.current().length, 1u);
    }
    EXPECT_TRUE(rd.at_end());
}

TEST(Reader, NullTextIsAtEnd)
{
    reader rd(nullptr);
    EXPECT_TRUE(rd.at_end());
    rd.next();
    EXPECT_EQ(rd.current().kind, ajson::token_kind::end);
}

TEST(Reader, TokensPointIntoTheText)
{
    const char text[] = "{\"key\":-3}";
    reader rd(text);
    rd.next();
    rd.next();
    EXPECT_EQ(rd.current().chars, text + 2);
    rd.next();
    rd.next();
    EXPECT_EQ(rd.current().chars, text + 7);
    EXPECT_TRUE(rd.current().negative);
    rd.next();
    EXPECT_FALSE(rd.current().negative);
}

struct LimitCase
{
    std::string text;
    size_t limit;
    Tokens expected; // or the error text alone, when one is raised
};

class ReaderLimit : public testing::TestWithParam<LimitCase>
{
};

// A limit ends the input like a NUL byte at that position would, but the
// character there is still looked at for the line count.
TEST_P(ReaderLimit, EndsTheInput)
{
    reader rd(GetParam().text.c_str(), GetParam().limit);
    Tokens tokens;
    const std::string error = jsontest::error_of([&] {
        do {
            rd.next();
            tokens.push_back(jsontest::describe(rd.current()));
        } while (rd.current().kind != ajson::token_kind::end);
    });
    EXPECT_EQ(error.empty() ? tokens : Tokens{error}, GetParam().expected);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Reader, ReaderLimit, testing::Values(
    LimitCase { "12345", 2, { "u(12)=12", "end" } },
    LimitCase { "12345", SIZE_MAX, { "u(12345)=12345", "end" } },
    LimitCase { "[1] [2]", 3, { "[", "u(1)=1", "]", "end" } },
    LimitCase { "[]    x", 4, { "[", "]", "end" } },
    LimitCase { "\"abc\" x", 3, { "error at line :0 col :3 msg:not a valid quote string!" } },
    LimitCase { "\"a\\bc\" x", 5, { "error at line :0 col :5 msg:not a valid quote string!" } },
    LimitCase { "ab cd ", 4, { "error at line :0 col :4 msg:not a valid string!" } },
    LimitCase { "[a\n]", 2, { "error at line :1 col :0 msg:not a valid string!" } }));
// clang-format on

TEST(Reader, LineFeedStandsAtColumnZero)
{
    reader rd("a\n\nbc d");
    rd.next();
    rd.next();
    EXPECT_EQ(rd.line(), 2u);
    EXPECT_EQ(rd.column(), 3u);
}

TEST(CharTable, Classes)
{
    using ajson::detail::char_table;
    ASSERT_EQ(char_table.size(), 103u);
    const struct
    {
        char first, last;
        int value;
    } ranges[] = {{'0', '9', 0}, {'A', 'F', 10}, {'a', 'f', 10}};
    for (const auto& r : ranges) {
        for (char c = r.first; c <= r.last; ++c)
            EXPECT_EQ(char_table[size_t(c)], r.value + (c - r.first)) << c;
    }
    for (int c : {9, 10, 12, 13, 32})
        EXPECT_EQ(char_table[size_t(c)], 17) << c;
    for (int c : {0, 11, 31, 33, int('/'), int(':'), int('@'), int('G'), int('`'), int('Z')})
        EXPECT_EQ(char_table[size_t(c)], 16) << c;
    EXPECT_EQ(ajson::detail::hex_value('g'), -1);
    EXPECT_EQ(ajson::detail::hex_value(0xE9), -1);
}

} // namespace
