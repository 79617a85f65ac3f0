#include "protomodel/upgradeinfo.h"
#include "json/decode.h"

#include <gtest/gtest.h>

using LCD::ProtoModel::Device::s_UpgradeInfo;

namespace {

// What a record looked like before decoding; absent members keep it.
s_UpgradeInfo previous()
{
    return {"keep", 99, "m", "d"};
}

struct DecodeCase
{
    std::string text;
    s_UpgradeInfo expected;
    std::string error; // "" for success, else the text after "error at line :"
};

class Decode : public testing::TestWithParam<DecodeCase>
{
};

TEST_P(Decode, StoresMembersAndReportsErrors)
{
    const DecodeCase& c = GetParam();
    s_UpgradeInfo info = previous();
    std::string err = "untouched";
    const bool ok = LCD::ProtoModel::decode(c.text, info, err);
    EXPECT_EQ(ok, c.error.empty());
    EXPECT_EQ(err, ok ? "untouched" : "error at line :" + c.error);
    EXPECT_EQ(info.name, c.expected.name);
    EXPECT_EQ(info.modelID, c.expected.modelID);
    EXPECT_EQ(info.mainVersion, c.expected.mainVersion);
    EXPECT_EQ(info.dataVersion, c.expected.dataVersion);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Valid, Decode, testing::Values(
    // nothing after an empty object is read
    DecodeCase { "{} abc", previous(), "" },
    DecodeCase { R"({"name":"Vesk","modelID":29974,"mainVersion":"1.0","dataVersion":"2.3"})",
                 { "Vesk", 29974, "1.0", "2.3" }, "" },
    DecodeCase { "{\"modelID\":1}\n", { "keep", 1, "m", "d" }, "" },
    DecodeCase { R"({"x":{"a":[1,{"b":2}]},"modelID":7,"y":[[]]})", { "keep", 7, "m", "d" }, "" },
    DecodeCase { R"({"name":"a\u00e9\n"})", { "a\xc3\xa9\n", 99, "m", "d" }, "" },
    // keys compare raw and exactly
    DecodeCase { R"({"n\u0061me":"x","Name":"y"})", previous(), "" },
    // separators are judged by their first character, quoted or not
    DecodeCase { R"({"name":"x" "," "modelID":5})", { "x", 5, "m", "d" }, "" },
    DecodeCase { R"({"k":,"name":"a"})", { "a", 99, "m", "d" }, "" }));

// One row per error class; what was stored before the fault stays.
INSTANTIATE_TEST_SUITE_P(Invalid, Decode, testing::Values(
    DecodeCase { "[1]", previous(), "0 col :1 msg:read object must start with {!" },
    DecodeCase { "{1:2}", previous(), "0 col :2 msg:object key must be string" },
    DecodeCase { R"({"name":"a",})", { "a", 99, "m", "d" }, "0 col :13 msg:object key must be string" },
    DecodeCase { R"({"a" 1})", previous(), "0 col :6 msg:invalid json document!" },
    DecodeCase { R"({"modelID":1 "name":"x"})", { "keep", 1, "m", "d" },
                 "0 col :19 msg:invalid json document!" },
    DecodeCase { R"({"a":[1 : 2]})", previous(), "0 col :9 msg:invalid json document!" },
    DecodeCase { R"({"name":1})", previous(), "0 col :9 msg:not a valid string." },
    DecodeCase { R"({"name":"ab\x"})", { "ab", 99, "m", "d" }, "0 col :14 msg:not a valid string." },
    DecodeCase { R"({"modelID":[1]})", previous(), "0 col :12 msg:not a valid signed integral like number." },
    // one token after a non-empty object is read, and can fail the decode
    DecodeCase { R"({"modelID":1} abc)", { "keep", 1, "m", "d" }, "0 col :17 msg:not a valid string!" }));

struct ModelCase
{
    std::string value;
    int32_t expected;
};

class ModelId : public testing::TestWithParam<ModelCase>
{
};

TEST_P(ModelId, Converts)
{
    s_UpgradeInfo info;
    std::string err;
    ASSERT_TRUE(LCD::ProtoModel::decode("{\"modelID\":" + GetParam().value + "}", info, err)) << err;
    EXPECT_EQ(info.modelID, GetParam().expected);
}

// One row per path of the conversion: low 32 bits of integers, truncated
// and saturated reals, "true" in any case, the rest through strtoll.
INSTANTIATE_TEST_SUITE_P(Values, ModelId, testing::Values(
    ModelCase { "4294967297", 1 },
    ModelCase { "-4294967297", -1 },
    ModelCase { "-3.9", -3 },
    ModelCase { "1e10", INT32_MAX },
    // the integer part wraps to a negative int64 first, saturates low and
    // negates to itself
    ModelCase { "-9223372036854775809.5", INT32_MIN },
    ModelCase { "\"tRuE\"", 1 },
    ModelCase { "truer", 0 },
    ModelCase { "\"-17x\"", -17 },
    ModelCase { "\"99999999999999999999\"", -1 }));
// clang-format on

// A second record needs nothing but its AJSON line; its list order need not
// follow the declaration, and unlisted members are not bound.
struct s_Probe
{
    std::string label;
    int32_t count = 0;
    std::string unlisted;
    AJSON(count, label)
};

TEST(Binding, SecondRecordTypeIsOneDeclaration)
{
    s_Probe probe;
    std::string err;
    ASSERT_TRUE(LCD::ProtoModel::decode(R"({"label":"x","count":3,"unlisted":"u"})", probe, err)) << err;
    EXPECT_EQ(probe.label, "x");
    EXPECT_EQ(probe.count, 3);
    EXPECT_EQ(probe.unlisted, "");
}

// Separators of a field list beyond ", ": other white space, runs of them,
// and control characters that are no white space.
TEST(Binding, FieldListSplitsOnCommasAndWhiteSpaceOnly)
{
    std::vector<std::string> names;
    for (const auto& ref : ajson::detail::split_fields(" a,,b\t\nc\fd\re\vf,\x01"))
        names.emplace_back(ref.chars, ref.length);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "d", "e\vf", "\x01"}));
}

} // namespace
