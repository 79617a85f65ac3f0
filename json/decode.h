#pragma once

// Placeholder until the JSON reader lands: every decode fails.

#include <string>

namespace LCD {
namespace ProtoModel {

template <typename T>
bool decode(const std::string& text, T& out, std::string& err)
{
    (void)text;
    (void)out;
    err = "error at line :0 col :0 msg:json reader not built";
    return false;
}

} // namespace ProtoModel
} // namespace LCD
