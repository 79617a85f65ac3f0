// The version rules on a view model built in the test, with the device side
// of the stand-in host answering its node-version refresh.
#include "flowtesting.h"

#include "host/api.h"

#include <memory>

namespace {

using flow_testing::isViewModelLine;
using testing_support::LogCapture;

class VersionRules : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previousHost = krt::api::get().host;
        krt::api::get().host = &host;
        device.registerWithHost();
        model = std::make_unique<Upgrade::UpgradeViewModel>();
    }

    void TearDown() override
    {
        model.reset();
        krt::api::get().host = previousHost;
    }

    // The device reports this firmware version and the view model keeps it.
    void deviceRuns(const std::string& version)
    {
        device.script().firmwareVersion = version;
        model->initNodeVersion(nullptr);
        ASSERT_EQ(model->currentNodeVersion(), version);
    }

    krt::IHostApi* previousHost = nullptr;
    Standin::StandinHost host;
    Standin::DeviceStandin device{host};
    std::unique_ptr<Upgrade::UpgradeViewModel> model;
};

// ---- digits of a version -----------------------------------------------------

struct DigitsCase
{
    std::string name;
    std::string version;
    std::vector<int> digits;
};

void PrintTo(const DigitsCase& c, std::ostream* os)
{
    *os << c.name;
}

class VersionDigits : public VersionRules, public ::testing::WithParamInterface<DigitsCase>
{
};

TEST_P(VersionDigits, AreTheDigitsOfTheVersionNumber)
{
    EXPECT_EQ(model->stringToVector(GetParam().version), GetParam().digits);
}

const std::string TenNines = "9.9.9.9.9.9.9.9.9.9";

INSTANTIATE_TEST_SUITE_P(
    Texts, VersionDigits,
    ::testing::Values(DigitsCase{"Dotted", "1.2.3", {1, 2, 3}}, DigitsCase{"Prefixed", "V2.10", {2, 1, 0}},
                      DigitsCase{"Dashed", "1-2-3", {1, 2, 3}}, DigitsCase{"LeadingZerosDropped", "0.0.7", {7}},
                      DigitsCase{"InnerZeroKept", "0.1.05", {1, 0, 5}}, DigitsCase{"NoDigits", "abc", {}},
                      DigitsCase{"Empty", "", {}}, DigitsCase{"AllZero", "0.0.0", {}},
                      DigitsCase{"TenDigitsOverflow", TenNines, {}},
                      DigitsCase{"LargestInt", "2.147.483.647", {2, 1, 4, 7, 4, 8, 3, 6, 4, 7}},
                      DigitsCase{"OnePastLargestInt", "2.147.483.648", {}},
                      DigitsCase{"MinusSignDropped", "-5", {5}}),
    flow_testing::caseName<DigitsCase>);

// ---- downgrade ---------------------------------------------------------------

struct DownGradeCase
{
    std::string name;
    std::string device;
    std::string package;
    bool downGrade;
};

void PrintTo(const DownGradeCase& c, std::ostream* os)
{
    *os << c.name;
}

class DownGrade : public VersionRules, public ::testing::WithParamInterface<DownGradeCase>
{
};

TEST_P(DownGrade, ComparesTheVersionNumbers)
{
    deviceRuns(GetParam().device);
    EXPECT_EQ(model->isDownGrade(GetParam().package), GetParam().downGrade);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, DownGrade,
    ::testing::Values(DownGradeCase{"OlderPatch", "1.3.0", "1.2.9", true},
                      DownGradeCase{"NewerPatch", "1.2.3", "1.2.4", false},
                      DownGradeCase{"Equal", "1.2.3", "1.2.3", false},
                      DownGradeCase{"LongerPartWins", "1.10.0", "1.9.0", true},
                      // 1210 > 130 although the package's middle part is higher.
                      DownGradeCase{"DigitsConcatenated", "1.2.10", "1.3.0", true},
                      DownGradeCase{"UnknownDevice", "", "1.0.0", false},
                      DownGradeCase{"PackageWithoutDigits", "1.0", "beta", true},
                      DownGradeCase{"TenDigitDeviceCountsAsZero", TenNines, "0.0.1", false},
                      DownGradeCase{"TenDigitPackageCountsAsZero", "1.0", TenNines, true},
                      DownGradeCase{"PrefixIgnored", "V2.0", "2.0", false}),
    flow_testing::caseName<DownGradeCase>);

TEST_F(VersionRules, DownGradeLogsBothVersions)
{
    deviceRuns("1.2.10");
    LogCapture log;
    model->isDownGrade("1.3.0");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(isViewModelLine(log.lines()[0], QtInfoMsg,
                                R"(current device version "1.2.10" upgradeFile version "1.3.0")",
                                flow_testing::IsDownGradeSignature));
}

// ---- lowest supported version ------------------------------------------------

struct MinimumCase
{
    std::string name;
    std::string version;
    std::string minimum;
    bool unallowed;
};

void PrintTo(const MinimumCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnallowedDownGrade : public VersionRules, public ::testing::WithParamInterface<MinimumCase>
{
};

TEST_P(UnallowedDownGrade, ComparesDigitByDigit)
{
    EXPECT_EQ(model->isUnallowedDownGrade(GetParam().version, GetParam().minimum), GetParam().unallowed);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, UnallowedDownGrade,
    ::testing::Values(MinimumCase{"AboveMinimum", "1.2.3", "1.2.0", false},
                      MinimumCase{"BelowAtLastDigit", "1.2.0", "1.2.3", true},
                      // The larger first digit does not decide; 0 < 2 later does.
                      MinimumCase{"LargerFirstDigitDoesNotDecide", "2.0.0", "1.2.0", true},
                      MinimumCase{"ShorterPackage", "1.2", "1.2.0", true},
                      MinimumCase{"ExtraDigitsNotCompared", "1.2.3.4", "1.2.3", false},
                      MinimumCase{"EqualVersions", "1.2.3", "1.2.3", false},
                      MinimumCase{"NoMinimum", "1.0", "", false}, MinimumCase{"ZeroMinimum", "1.0", "0", false},
                      MinimumCase{"EmptyPackage", "", "1.0", true},
                      MinimumCase{"OverflowingPackage", TenNines, "1.0", true}),
    flow_testing::caseName<MinimumCase>);

TEST_F(VersionRules, UnallowedDownGradeLogsBothVersions)
{
    LogCapture log;
    model->isUnallowedDownGrade("2.0.0", "1.2.0");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(isViewModelLine(log.lines()[0], QtInfoMsg,
                                R"(support min device version "1.2.0" upgradeFile version "2.0.0")",
                                flow_testing::IsUnallowedDownGradeSignature));
}

// ---- device type -------------------------------------------------------------

struct DeviceTypeCase
{
    std::string name;
    std::string magic;
    int modelId;
    bool matched;
};

void PrintTo(const DeviceTypeCase& c, std::ostream* os)
{
    *os << c.name;
}

class DeviceType : public VersionRules, public ::testing::WithParamInterface<DeviceTypeCase>
{
};

TEST_P(DeviceType, NeedsTheMagicAndTheModel)
{
    LCD::ProtoModel::Device::s_UpgradeInfo info;
    info.name = GetParam().magic;
    info.modelID = GetParam().modelId;
    info.dataVersion = "1.0.0";
    EXPECT_EQ(model->isDeviceTypeMatched(info), GetParam().matched);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DeviceType,
    ::testing::Values(DeviceTypeCase{"Supported", "Vesk", 29974, true},
                      DeviceTypeCase{"NoModel", "Vesk", 0, false},
                      DeviceTypeCase{"OtherModel", "Vesk", 29975, false},
                      DeviceTypeCase{"LowerCase", "vesk", 29974, false},
                      DeviceTypeCase{"TrailingBlank", "Vesk ", 29974, false},
                      DeviceTypeCase{"TrailingZero", std::string("Vesk\0", 5), 29974, false},
                      DeviceTypeCase{"Prefix", "Ves", 29974, false}),
    flow_testing::caseName<DeviceTypeCase>);

} // namespace
