#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

namespace testing_support {

// The bytes of a plain record, as they travel as a payload.
template <typename T> QByteArray bytesOf(const T& record)
{
    return QByteArray(reinterpret_cast<const char*>(&record), int(sizeof record));
}

// Byte-exact comparison. On failure the sizes are printed, and 16 bytes of
// each side from the first offset where they differ.
inline ::testing::AssertionResult sameBytes(const QByteArray& expected, const QByteArray& actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    int at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
        ++at;
    return ::testing::AssertionFailure()
        << "sizes: expected " << expected.size() << ", actual " << actual.size() << "; from offset " << at
        << "\n  expected " << expected.mid(at, 16).toHex(' ').constData() << "\n  actual   "
        << actual.mid(at, 16).toHex(' ').constData();
}

} // namespace testing_support
