#pragma once

#include <gtest/gtest.h>

#include <QByteArray>

#include <algorithm>
#include <cstdio>
#include <string>

namespace testing_support {

// The bytes of a plain record, as they travel as a payload.
template <typename T>
QByteArray bytesOf(const T& record)
{
    return QByteArray(reinterpret_cast<const char*>(&record), int(sizeof record));
}

// One row of a dump: 16 bytes in hex, blanks where the data has ended.
inline std::string hexRow(const QByteArray& bytes, int offset)
{
    std::string row;
    char cell[4];
    for (int i = offset; i < offset + 16; ++i) {
        if (i < bytes.size())
            std::snprintf(cell, sizeof cell, "%02x ", static_cast<unsigned char>(bytes[i]));
        else
            std::snprintf(cell, sizeof cell, "   ");
        row += cell;
    }
    return row;
}

// Byte-exact comparison. On failure the rows that differ are printed with
// the expected bytes on the left and the actual ones on the right.
inline ::testing::AssertionResult sameBytes(const QByteArray& expected, const QByteArray& actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "sizes: expected " << expected.size() << ", actual " << actual.size() << "\n"
            << "offset  expected                                          | actual\n";
    const int rows = (std::max(expected.size(), actual.size()) + 15) / 16;
    for (int row = 0; row < rows; ++row) {
        const int offset = row * 16;
        if (expected.mid(offset, 16) == actual.mid(offset, 16))
            continue;
        char label[16];
        std::snprintf(label, sizeof label, "%6d  ", offset);
        failure << label << hexRow(expected, offset) << "| " << hexRow(actual, offset) << "\n";
    }
    return failure;
}

} // namespace testing_support
