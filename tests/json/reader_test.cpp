#include "tokenstream.h"

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

INSTANTIATE_TEST_SUITE_P(Reader, TokenStream, testing::Values(
    StreamCase { "", { "end" } },
    StreamCase { R"({"a":1})", { "{", "s(a)", ":", "u(1)=1", "}", "end" } },
    StreamCase { R"([1, "x" ,{}])", { "[", "u(1)=1", ",", "s(x)", ",", "{", "}", "]", "end" } },
    // words without quotes end at white space and structural characters
    StreamCase { "true false\tnull\n", { "s(true)", "s(false)", "s(null)", "end" } },
    StreamCase { "[a b,c:d]", { "[", "s(a)", "s(b)", ",", "s(c)", ":", "s(d)", "]", "end" } },
    StreamCase { "+1 .5 ", { "s(+1)", "s(.5)", "end" } },
    StreamCase { "\fa\x0b\x80 ", { "s(\fa\x0b\x80)", "end" } },
    // quoted strings keep their escapes raw; a raw tab is fine
    StreamCase { R"("ab\"c")", { "s(ab\\\"c)", "end" } },
    StreamCase { "\"\t\\\n\"", { "s(\t\\\n)", "end" } },
    // comments
    StreamCase { "// note\n{}", { "{", "}", "end" } },
    StreamCase { "/***/{/**/}//", { "{", "}", "end" } },
    StreamCase { "{} /* never closed", { "{", "}", "end" } }));

INSTANTIATE_TEST_SUITE_P(Numbers, TokenStream, testing::Values(
    StreamCase { "-12 ", { "i(-12)=-12", "end" } },
    StreamCase { "12,", { "u(12)=12", ",", "end" } },
    StreamCase { "7", { "u(7)=7", "end" } },
    StreamCase { "-", { "i(-)=-0", "end" } },
    StreamCase { "1.5e2 ", { "r(1.5e2)=150", "end" } },
    StreamCase { "1e++2 ", { "r(1e++2)=100", "end" } },
    StreamCase { "-1.5]", { "r(-1.5)=-1.5", "]", "end" } },
    // scaling is one multiplication per power of ten, not correct rounding
    StreamCase { "1e-2 ", { "r(1e-2)=0.010000000000000002", "end" } },
    // integers wrap in 64 bits
    StreamCase { "4294967297 ", { "u(4294967297)=4294967297", "end" } },
    StreamCase { "18446744073709551617 ", { "u(18446744073709551617)=1", "end" } },
    // an exponent without digits, or one that wraps to not positive, does not scale
    StreamCase { "1e ", { "r(1e)=1", "end" } },
    StreamCase { "2E-x ", { "r(2E-)=2", "s(x)", "end" } },
    StreamCase { "1e2147483648 ", { "r(1e2147483648)=1", "end" } },
    StreamCase { "1e999 ", { "r(1e999)=inf", "end" } },
    StreamCase { "1e2.5 ", { "r(1e2)=100", "s(.5)", "end" } }));

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

INSTANTIATE_TEST_SUITE_P(Reader, ReaderError, testing::Values(
    ErrorCase { "/x", "0 col :1 msg:not a comment!" },
    ErrorCase { "{}\n /", "1 col :3 msg:not a comment!" },
    ErrorCase { "\"abc", "0 col :4 msg:not a valid quote string!" },
    ErrorCase { "\"a\nb\"", "1 col :0 msg:not a valid quote string!" },
    ErrorCase { "abc", "0 col :3 msg:not a valid string!" },
    ErrorCase { "{\n  \"a\": 1.2.3}", "1 col :11 msg:not a valid number!" },
    // carriage returns take no column
    ErrorCase { "\r\n-1..", "1 col :4 msg:not a valid number!" }));

} // namespace
