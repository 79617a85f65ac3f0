#pragma once

#include <tuple>

// Declares a record's JSON binding inside the record: its member names as
// one text, and access to those members in the same order.
//
//   struct s_Example
//   {
//       std::string label;
//       int32_t count = 0;
//       AJSON(label, count)
//   };
//
// Adds member functions only, so the record's layout does not change.
// clang-format off
#define AJSON(...)                                                                                         \
    static constexpr const char* ajson_field_text() { return #__VA_ARGS__; }                            \
    auto ajson_fields() { return std::tie(__VA_ARGS__); }
// clang-format on
