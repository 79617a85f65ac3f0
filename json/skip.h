#pragma once

namespace ajson {

class reader;

// Passes over the value that starts at the current token and leaves the
// token after it current. Lenient: commas between elements are optional,
// numbers may be keys. A symbol that starts no value stays current for the
// caller to judge. Throws ajson::exception ("invalid json document!").
void skip(reader& rd);

} // namespace ajson
