#pragma once

#include "json/stringref.h"

#include <vector>

namespace ajson {
namespace detail {

// Splits a member list such as "name, modelID" at commas and white space;
// empty runs are dropped. The views point into text, which must live on.
std::vector<string_ref> split_fields(const char* text);

} // namespace detail
} // namespace ajson
