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

// \u becomes UTF-8 of one, two or three bytes; each row's pair sits on a
// length boundary.
// clang-format off
INSTANTIATE_TEST_SUITE_P(Valid, EscapeString, testing::Values(
    EscapeCase { R"(\"\\\/\b\f\n\r\t)", true, "\"\\/\b\f\n\r\t" },
    EscapeCase { R"(\u007F\u0080)", true, "\x7f\xc2\x80" },
    EscapeCase { R"(\u07FF\u0800\uffff)", true, "\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf" }));

INSTANTIATE_TEST_SUITE_P(Invalid, EscapeString, testing::Values(
    EscapeCase { R"(\u0000)", false, "" },
    EscapeCase { R"(ab\x)", false, "ab" },
    EscapeCase { R"(ab\u12)", false, "ab" },
    EscapeCase { R"(ab\)", false, "ab" },
    EscapeCase { R"(\u00G1)", false, "" },
    EscapeCase { R"(\u00g1)", false, "" }));
// clang-format on

} // namespace
