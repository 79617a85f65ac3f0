#include "json/escape.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase
{
    std::string raw;
    bool ok;
    std::string decoded; // what out holds afterwards, also after a failure
};

class EscapeString : public testing::TestWithParam<EscapeCase>
{
};

TEST_P(EscapeString, Decodes)
{
    std::string out = "previous";
    const EscapeCase& c = GetParam();
    EXPECT_EQ(ajson::escape_string(out, c.raw.data(), c.raw.size()), c.ok);
    EXPECT_EQ(out, c.decoded);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Valid, EscapeString, testing::Values(
    EscapeCase { "", true, "" },
    EscapeCase { R"(\"\\\/\b\f\n\r\t)", true, "\"\\/\b\f\n\r\t" },
    EscapeCase { R"(x\\)", true, "x\\" },
    // \u in UTF-8: one, two or three bytes; surrogate halves are not paired
    EscapeCase { R"(\u007F\u0080)", true, "\x7f\xc2\x80" },
    EscapeCase { R"(\u07FF\u0800)", true, "\xdf\xbf\xe0\xa0\x80" },
    EscapeCase { R"(\uD83D\uDE00)", true, "\xed\xa0\xbd\xed\xb8\x80" },
    EscapeCase { R"(\uffff)", true, "\xef\xbf\xbf" }));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(Invalid, EscapeString, testing::Values(
    EscapeCase { R"(\u0000)", false, "" },
    EscapeCase { R"(ab\x)", false, "ab" },
    EscapeCase { R"(ab\u12)", false, "ab" },
    EscapeCase { R"(ab\)", false, "ab" },
    EscapeCase { R"(\u00G1)", false, "" }));
// clang-format on

TEST(EscapeString, ReadsOnlyLengthBytes)
{
    const char text[] = "ab\\u0041";
    std::string out;
    EXPECT_FALSE(ajson::escape_string(out, text, 6));
    EXPECT_EQ(out, "ab");
    EXPECT_TRUE(ajson::escape_string(out, text, 2));
    EXPECT_EQ(out, "ab");
}

} // namespace
