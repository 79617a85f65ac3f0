#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Decoded check block or image sub-header of an upgrade package.
struct CheckPacket
{
    std::vector<uint32_t> systemImages; // whole image record sizes, in file order
    QString md5;
};
