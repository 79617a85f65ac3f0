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
    DecodeCase { "{}", previous(), "" },
    // nothing after an empty object is read
    DecodeCase { "{} abc", previous(), "" },
    DecodeCase { R"({"name":"Vesk","modelID":29974,"mainVersion":"1.0","dataVersion":"2.3"})",
                 { "Vesk", 29974, "1.0", "2.3" }, "" },
    DecodeCase { R"({"dataVersion":"9", "name":"n"})", { "n", 99, "m", "9" }, "" },
    DecodeCase { "{\"modelID\":1}\n", { "keep", 1, "m", "d" }, "" },
    DecodeCase { R"({"x":{"a":[1,{"b":2}]},"modelID":7,"y":[[]]})", { "keep", 7, "m", "d" }, "" },
    DecodeCase { R"({"modelID":1,"modelID":2})", { "keep", 2, "m", "d" }, "" },
    DecodeCase { R"({"name":"a\u00e9\n"})", { "a\xc3\xa9\n", 99, "m", "d" }, "" },
    DecodeCase { R"({"name":""})", { "", 99, "m", "d" }, "" },
    // keys compare raw and exactly
    DecodeCase { R"({"n\u0061me":"x","Name":"y"})", previous(), "" },
    // separators are judged by their first character, quoted or not
    DecodeCase { R"({"name":"x" "," "modelID":5})", { "x", 5, "m", "d" }, "" },
    DecodeCase { "{name: Vesk, modelID: 29974}\n", { "Vesk", 29974, "m", "d" }, "" },
    DecodeCase { "/*h*/{\"modelID\":1 // c\n}", { "keep", 1, "m", "d" }, "" },
    DecodeCase { R"({"k":})", previous(), "" },
    DecodeCase { R"({"k":,"name":"a"})", { "a", 99, "m", "d" }, "" },
    DecodeCase { std::string("{\"modelID\":5}\0 x", 16), { "keep", 5, "m", "d" }, "" }));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(Invalid, Decode, testing::Values(
    DecodeCase { "", previous(), "0 col :0 msg:read object must start with {!" },
    DecodeCase { "   ", previous(), "0 col :3 msg:read object must start with {!" },
    DecodeCase { "[1]", previous(), "0 col :1 msg:read object must start with {!" },
    DecodeCase { "{", previous(), "0 col :1 msg:object key must be string" },
    DecodeCase { "{1:2}", previous(), "0 col :2 msg:object key must be string" },
    DecodeCase { R"({"name":"a",})", { "a", 99, "m", "d" }, "0 col :13 msg:object key must be string" },
    DecodeCase { R"({"a" 1})", previous(), "0 col :6 msg:invalid json document!" },
    DecodeCase { R"({"modelID":1 "name":"x"})", { "keep", 1, "m", "d" },
                 "0 col :19 msg:invalid json document!" },
    DecodeCase { R"({"modelID":1,"name":"x")", { "x", 1, "m", "d" }, "0 col :23 msg:invalid json document!" },
    DecodeCase { R"({"a":[1 : 2]})", previous(), "0 col :9 msg:invalid json document!" },
    DecodeCase { R"({"name":1})", previous(), "0 col :9 msg:not a valid string." },
    DecodeCase { R"({"name":"ab\x"})", { "ab", 99, "m", "d" }, "0 col :14 msg:not a valid string." },
    DecodeCase { "{\n\"name\":\n 5}", previous(), "2 col :3 msg:not a valid string." },
    DecodeCase { R"({"modelID":[1]})", previous(), "0 col :12 msg:not a valid signed integral like number." },
    DecodeCase { R"({"modelID":)", previous(), "0 col :11 msg:not a valid signed integral like number." },
    // one token after the object is read, and can fail the decode
    DecodeCase { R"({"modelID":1} abc)", { "keep", 1, "m", "d" }, "0 col :17 msg:not a valid string!" },
    DecodeCase { R"({"a":1.2.3})", previous(), "0 col :8 msg:not a valid number!" }));

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

INSTANTIATE_TEST_SUITE_P(Numbers, ModelId, testing::Values(
    ModelCase { "29974", 29974 },
    ModelCase { "-5", -5 },
    ModelCase { "4294967297", 1 },
    ModelCase { "-4294967297", -1 },
    ModelCase { "2147483648", INT32_MIN },
    ModelCase { "-2147483648", INT32_MIN },
    ModelCase { "3.9", 3 },
    ModelCase { "-3.9", -3 },
    ModelCase { "0.5e1", 5 },
    ModelCase { "1e-2", 0 },
    ModelCase { "1e10", INT32_MAX },
    ModelCase { "-1e10", -INT32_MAX },
    ModelCase { "1e999", INT32_MAX },
    // the integer part wraps to a negative int64 first, saturates low and
    // negates to itself
    ModelCase { "-9223372036854775809.5", INT32_MIN },
    ModelCase { "9223372036854775809.5", INT32_MAX }));

INSTANTIATE_TEST_SUITE_P(Words, ModelId, testing::Values(
    ModelCase { "\"12\"", 12 },
    ModelCase { "true", 1 },
    ModelCase { "True", 1 },
    ModelCase { "\"tRuE\"", 1 },
    ModelCase { "false", 0 },
    ModelCase { "truer", 0 },
    ModelCase { "abc", 0 },
    ModelCase { "\"\"", 0 },
    ModelCase { "\" 12\"", 12 },
    ModelCase { "\"-7x\"", -7 },
    ModelCase { "+8", 8 },
    ModelCase { "\"1\\u0032\"", 1 },
    ModelCase { "\"99999999999999999999\"", -1 },
    ModelCase { "\"-99999999999999999999\"", 0 }));

struct SplitCase
{
    std::string text;
    std::vector<std::string> names;
};

class SplitFields : public testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitFields, DropsSeparatorsAndEmptyRuns)
{
    std::vector<std::string> names;
    for (const auto& ref : ajson::detail::split_fields(GetParam().text.c_str()))
        names.emplace_back(ref.chars, ref.length);
    EXPECT_EQ(names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Binding, SplitFields, testing::Values(
    SplitCase { "name, modelID, mainVersion, dataVersion", { "name", "modelID", "mainVersion", "dataVersion" } },
    SplitCase { " a,,b\t\nc ", { "a", "b", "c" } },
    SplitCase { "a\fb\rc", { "a", "b", "c" } },
    SplitCase { "a\vb,\x01", { "a\vb", "\x01" } },
    SplitCase { "", {} },
    SplitCase { ",, ,", {} }));

TEST(FieldList, BuiltOnceFromTheRecordsText)
{
    const auto& names = ajson::json_impl<s_UpgradeInfo>::this_field_list();
    EXPECT_EQ(&names, &ajson::json_impl<s_UpgradeInfo>::this_field_list());
    const char* text = s_UpgradeInfo::ajson_field_text();
    EXPECT_STREQ(text, "name, modelID, mainVersion, dataVersion");
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0].chars, text);
    EXPECT_EQ(names[3].chars, text + 28);
    EXPECT_EQ(names[3].length, 11u);
}

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

} // namespace

// clang-format on