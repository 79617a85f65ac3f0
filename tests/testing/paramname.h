#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

// Names a value-parameterised case after its parameter's `name` field, so
// table rows read as test names.
struct ByName
{
    template <typename Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const
    {
        return info.param.name;
    }
};

} // namespace testing_support
