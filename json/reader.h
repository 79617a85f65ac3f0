#pragma once

#include "json/token.h"

#include <cstddef>

namespace ajson {

// Pull tokenizer over a NUL-terminated text, lenient JSON: words without
// quotes are strings, // and /* */ comments count as white space. Tokens are
// views into the text, which must outlive the reader. line and column count
// from 0; a line feed stands at column 0 of the line it opens.
class reader
{
public:
    // limit 0 (or the largest size) reads up to the NUL byte.
    explicit reader(const char* text, size_t limit = 0);

    // Loads the next token; throws ajson::exception on a lexical fault.
    void next();
    const token& current() const { return m_token; }

    size_t line() const { return m_line; }
    size_t column() const { return m_column; }
    size_t position() const { return m_position; }
    bool at_end() const { return m_atEnd; }

    // Throws ajson::exception with the text "error at line :L col :C msg:M"
    // for the character under the cursor.
    [[noreturn]] void error(const char* message) const;

private:
    char cur() const { return m_input[m_position]; }
    void take();
    void advance_within(const char* message);
    bool skip_blank();
    bool skip_comment();
    bool skip_line_comment();
    bool skip_block_comment();
    void make_end();
    void make_token(token_kind kind, size_t start);
    void read_symbol();
    void read_quoted();
    void read_word();
    void read_number(token_kind kind, uint64_t first_digit);
    void parser_number();
    void read_exponent();
    void make_real();

    token m_token;
    size_t m_column = 0;
    size_t m_line = 0;
    size_t m_limit = 0;
    size_t m_position = 0;
    bool m_atEnd = false;
    const char* m_input = nullptr;
};

} // namespace ajson
