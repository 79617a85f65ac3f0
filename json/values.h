#pragma once

#include <cstdint>
#include <string>

namespace ajson {

class reader;

// Stores the current token into a record member of that type; the token
// stays current. Throws ajson::exception when the token does not fit.

// A string token, escapes decoded.
void read_value(reader& rd, std::string& value);

// Numbers keep their low 32 bits (reals truncate, saturating); a word is 1
// for any spelling of true, else what strtoll makes of it.
void read_value(reader& rd, int32_t& value);

} // namespace ajson
