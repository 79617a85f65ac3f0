#include "tokenstream.h"

#include "json/reader.h"

#include <gtest/gtest.h>

using Tokens = std::vector<std::string>;

namespace {

struct StreamCase
{
    std::string text;
    size_t limit; // 0: up to the NUL byte
    Tokens expected; // or the error text alone, when one is raised
};

class TokenStream : public testing::TestWithParam<StreamCase>
{
};

TEST_P(TokenStream, YieldsTokensOrTheError)
{
    EXPECT_EQ(jsontest::tokens(GetParam().text, GetParam().limit), GetParam().expected);
}

// One row per decision of the tokenizer; the fuzz corpus carries the
// exhaustive boundaries.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Lexical, TokenStream, testing::Values(
    StreamCase { " \t\r\n", 0, { "end" } },
    StreamCase { R"([1, "x" ,{}])", 0, { "[", "u(1)=1", ",", "s(x)", ",", "{", "}", "]", "end" } },
    // words without quotes end at white space and structural characters only
    StreamCase { "[a\tb,c:d]", 0, { "[", "s(a)", "s(b)", ",", "s(c)", ":", "s(d)", "]", "end" } },
    StreamCase { "+1 .5 ", 0, { "s(+1)", "s(.5)", "end" } },
    StreamCase { "a\"b/c\\d \fa\x0b\x80 ", 0, { "s(a\"b/c\\d)", "s(\fa\x0b\x80)", "end" } },
    // quoted strings keep their escapes raw, an escaped line feed included
    StreamCase { R"("ab\"c")", 0, { "s(ab\\\"c)", "end" } },
    StreamCase { "\"\t\\\n\"", 0, { "s(\t\\\n)", "end" } },
    StreamCase { "/***/{// note\n}//", 0, { "{", "}", "end" } },
    StreamCase { "{} /* never closed", 0, { "{", "}", "end" } }));

INSTANTIATE_TEST_SUITE_P(Numbers, TokenStream, testing::Values(
    StreamCase { "-12 ", 0, { "i(-12)=-12", "end" } },
    StreamCase { "12,", 0, { "u(12)=12", ",", "end" } },
    StreamCase { "7", 0, { "u(7)=7", "end" } },
    // the sign belongs to one token only
    StreamCase { "-1.25 2.5]", 0, { "r(-1.25)=-1.25", "r(2.5)=2.5", "]", "end" } },
    StreamCase { "1.5e++2 ", 0, { "r(1.5e++2)=150", "end" } },
    // scaling is one multiplication per power of ten, not correct rounding
    StreamCase { "1e-2 ", 0, { "r(1e-2)=0.010000000000000002", "end" } },
    // a fraction digit is one fused multiply-add: 1.9 rounds up here
    StreamCase { "1.9 ", 0, { "r(1.9)=1.9000000000000001", "end" } },
    // integers wrap in 64 bits: 2^64 + 2^32 + 1
    StreamCase { "18446744078004518913 ", 0, { "u(18446744078004518913)=4294967297", "end" } },
    // an exponent without digits, or one that wraps to not positive, does not scale
    StreamCase { "2E-x ", 0, { "r(2E-)=2", "s(x)", "end" } },
    StreamCase { "1e2147483648 ", 0, { "r(1e2147483648)=1", "end" } },
    // scaling stops at infinity and at zero
    StreamCase { "1e999 1e-999 ", 0, { "r(1e999)=inf", "r(1e-999)=0", "end" } }));

// A limit ends the input like a NUL byte there, but the character at the
// limit still counts for the line.
INSTANTIATE_TEST_SUITE_P(Limit, TokenStream, testing::Values(
    StreamCase { "12345", 2, { "u(12)=12", "end" } },
    StreamCase { "12345", SIZE_MAX, { "u(12345)=12345", "end" } },
    StreamCase { "[]    x", 4, { "[", "]", "end" } },
    StreamCase { "\"abc\" x", 3, { "error at line :0 col :3 msg:not a valid quote string!" } },
    StreamCase { "ab cd ", 4, { "error at line :0 col :4 msg:not a valid string!" } },
    StreamCase { "[a\n]", 2, { "error at line :1 col :0 msg:not a valid string!" } }));

// Every error class with its position; carriage returns take no column.
INSTANTIATE_TEST_SUITE_P(Errors, TokenStream, testing::Values(
    StreamCase { "/x", 0, { "error at line :0 col :1 msg:not a comment!" } },
    StreamCase { "{}\n /", 0, { "error at line :1 col :3 msg:not a comment!" } },
    StreamCase { "\"abc", 0, { "error at line :0 col :4 msg:not a valid quote string!" } },
    StreamCase { "\"a\nb\"", 0, { "error at line :1 col :0 msg:not a valid quote string!" } },
    StreamCase { "\"a\\", 0, { "error at line :0 col :3 msg:not a valid quote string!" } },
    StreamCase { "[1]\nab", 0, { "error at line :1 col :3 msg:not a valid string!" } },
    StreamCase { "\"\r\" 1.2.3", 0, { "error at line :0 col :6 msg:not a valid number!" } }));
// clang-format on

// The end token sits on the NUL and repeats; a null text is at its end.
TEST(Reader, EndRepeatsAtTheNul)
{
    const char text[] = "1 ";
    ajson::reader rd(text);
    for (int i = 0; i < 3; ++i)
        rd.next();
    EXPECT_EQ(rd.current().kind, ajson::token_kind::end);
    EXPECT_EQ(rd.current().chars, text + 2);
    EXPECT_TRUE(rd.at_end());
    EXPECT_TRUE(ajson::reader(nullptr).at_end());
}

} // namespace
