#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace testing_support {

// Base of the rows of table-driven tests: the row's name stands in test
// listings and failure messages instead of a dump of its bytes.
struct NamedCase
{
    const char* name;
};

inline std::ostream& operator<<(std::ostream& os, const NamedCase& row)
{
    return os << row.name;
}

template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    return info.param.name;
}

} // namespace testing_support
