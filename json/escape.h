#pragma once

#include <cstddef>
#include <string>

namespace ajson {

// Decodes the escape sequences of a string token's raw characters into out:
// \" \\ \/ \b \f \n \r \t and \uXXXX (1 to FFFF, as UTF-8; surrogate halves
// each on their own). False for any other sequence, \u0000 or a cut-off
// one; out then holds what was decoded before it.
bool escape_string(std::string& out, const char* chars, size_t length);

} // namespace ajson
