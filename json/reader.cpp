#include "json/reader.h"

#include "json/exception.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

namespace ajson {

namespace {

const char* const notComment = "not a comment!";
const char* const notQuoted = "not a valid quote string!";
const char* const notWord = "not a valid string!";
const char* const notNumber = "not a valid number!";

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// What ends a word without quotes; the terminator belongs to the next token.
constexpr bool ends_word(char c)
{
    switch (c) {
    // clang-format off
    case '\t': case '\n': case '\r': case ' ':
    case ',': case ':': case '[': case ']': case '{': case '}':
        // clang-format on
        return true;
    default:
        return false;
    }
}

// Character classes, one bit each. The plain ones are what take() passes
// with nothing but a column (never NUL, line feed or carriage return), so a
// run of them in a quoted string, a word or white space is passed in one
// go. startsBlank sends next() to the white-space and comment loop.
enum : uint8_t { plainQuoted = 1, plainWord = 2, plainBlank = 4, startsBlank = 8 };

constexpr std::array<uint8_t, 256> make_plain_table()
{
    std::array<uint8_t, 256> table{};
    for (int c = 1; c < 256; ++c) {
        const bool special = c == '\n' || c == '\r';
        if (!special && c != '"' && c != '\\')
            table[c] |= plainQuoted;
        if (!special && !ends_word(char(c)))
            table[c] |= plainWord;
    }
    table[' '] |= plainBlank;
    table['\t'] |= plainBlank;
    for (int c : {' ', '\t', '\n', '\r', '/'})
        table[c] |= startsBlank;
    return table;
}

constexpr std::array<uint8_t, 256> plainTable = make_plain_table();

bool is_class(char c, uint8_t context)
{
    return plainTable[static_cast<unsigned char>(c)] & context;
}

// Scales one multiplication at a time, so 1e-2 is 0.1 * 0.1 and not the
// double nearest 0.01. Zero and infinity stay put, so a huge exponent
// stops there instead of spinning for billions of rounds.
void scale(double& value, int32_t exponent, bool down)
{
    const double factor = down ? 0.1 : 10.0;
    for (int32_t i = 0; i < exponent && value != 0.0 && !std::isinf(value); ++i)
        value *= factor;
}

} // namespace

reader::reader(const char* text, size_t limit)
    : m_last(limit == 0 ? SIZE_MAX : limit)
    , m_atEnd(text == nullptr || *text == '\0')
    , m_input(text ? text : "")
{
}

// Moves one character on. Carriage returns take no column; a limit or a
// NUL byte ends the input; a line feed opens a line at column 0.
inline void reader::take()
{
    if (m_atEnd)
        return;
    const char c = m_input[++m_position];
    if (static_cast<unsigned char>(c) > '\r') {
        ++m_column;
        m_atEnd = m_position >= m_last;
        return;
    }
    if (c != '\r')
        ++m_column;
    if (m_position >= m_last || c == '\0')
        m_atEnd = true;
    if (c == '\n') {
        ++m_line;
        m_column = 0;
    }
}

// The first index from i on whose character is not plain in the given
// context, or the limit.
inline size_t reader::plain_end(size_t i, uint8_t context) const
{
    if (m_last != SIZE_MAX) {
        while (i < m_last && is_class(m_input[i], context))
            ++i;
        return i;
    }
    // A NUL is never plain, so the text's end stops this.
    for (;; i += 4) {
        if (!is_class(m_input[i], context))
            return i;
        if (!is_class(m_input[i + 1], context))
            return i + 1;
        if (!is_class(m_input[i + 2], context))
            return i + 2;
        if (!is_class(m_input[i + 3], context))
            return i + 3;
    }
}

// Moves on over the following characters as long as they are plain in the
// given context: the same as take() for each, short of a limit.
inline void reader::take_run(uint8_t context)
{
    const size_t i = plain_end(m_position + 1, context) - 1;
    m_column += i - m_position;
    m_position = i;
}

// One step inside a token that must not end here.
inline void reader::advance_within(const char* message)
{
    if (m_atEnd)
        error(message);
    take();
    if (m_atEnd)
        error(message);
}

void reader::next()
{
    m_token.negative = false;
    if (m_atEnd)
        return make_end();
    char c = cur();
    if (is_class(c, startsBlank)) {
        if (!skip_blank())
            return make_end();
        c = cur();
    }
    switch (c) {
    case '\0':
        return make_end();
    case '"':
        return read_quoted();
    // clang-format off
    case ',': case ':': case '[': case ']': case '{': case '}':
        // clang-format on
        return read_symbol();
    case '-':
        m_token.negative = true;
        return read_number(token_kind::signed_integer, 0);
    default:
        if (is_digit(c))
            return read_number(token_kind::unsigned_integer, uint64_t(c - '0'));
        return read_word();
    }
}

// Passes white space and comments; false when the input ends on the way.
bool reader::skip_blank()
{
    for (;;) {
        while (is_blank(cur())) {
            if (m_atEnd)
                return false;
            take_run(plainBlank);
            take();
        }
        if (cur() != '/')
            return true;
        if (!skip_comment())
            return false;
    }
}

// comment: "//" up to the line feed | "/*" up to "*/"
bool reader::skip_comment()
{
    advance_within(notComment);
    if (cur() == '/')
        return skip_line_comment();
    if (cur() == '*')
        return skip_block_comment();
    error(notComment);
}

// Stops on the line feed, which the caller passes as white space.
bool reader::skip_line_comment()
{
    take();
    while (!m_atEnd && cur() != '\n' && cur() != '\0')
        take();
    return !m_atEnd;
}

// An unclosed block comment simply ends the input.
bool reader::skip_block_comment()
{
    take();
    while (!m_atEnd) {
        if (cur() != '*') {
            take();
            continue;
        }
        take();
        if (!m_atEnd && cur() == '/') {
            take();
            return true;
        }
    }
    return false;
}

void reader::make_end()
{
    m_token.chars = m_input + m_position;
    m_token.length = 1;
    m_token.kind = token_kind::end;
    m_token.negative = false;
}

void reader::make_token(token_kind kind, size_t start)
{
    m_token.chars = m_input + start;
    m_token.length = m_position - start;
    m_token.kind = kind;
}

void reader::read_symbol()
{
    m_token.chars = m_input + m_position;
    m_token.length = 1;
    m_token.kind = token_kind::symbol;
    take();
}

// quoted: '"' (any character but line feed and NUL | '\' any character)* '"'
// The escapes are decoded later, only for strings that are stored.
void reader::read_quoted()
{
    if (read_plain_quoted())
        return;
    advance_within(notQuoted);
    const size_t start = m_position;
    while (cur() != '"') {
        if (cur() == '\n' || cur() == '\0')
            error(notQuoted);
        if (cur() == '\\')
            advance_within(notQuoted);
        take_run(plainQuoted);
        advance_within(notQuoted);
    }
    make_token(token_kind::string, start);
    take();
}

// The common case in one pass: plain characters up to the closing quote.
// False, with nothing consumed, for anything else.
bool reader::read_plain_quoted()
{
    const size_t i = plain_end(m_position + 1, plainQuoted);
    if (m_atEnd || i >= m_last || m_input[i] != '"')
        return false;
    const size_t start = m_position + 1;
    m_column += i - m_position;
    m_position = i;
    make_token(token_kind::string, start);
    take();
    return true;
}

// word: any characters up to white space or one of , : [ ] { }
// Quotes, slashes and backslashes inside are plain characters; a word that
// runs into the end of input is an error.
void reader::read_word()
{
    const size_t start = m_position;
    do {
        take_run(plainWord);
        advance_within(notWord);
    } while (!ends_word(cur()));
    make_token(token_kind::string, start);
}

void reader::read_number(token_kind kind, uint64_t first_digit)
{
    m_token.kind = kind;
    m_token.value.integer = first_digit;
    parser_number();
}

// number: '-'? digits ('.' digits)? (('e' | 'E') '+'* '-'? digits)?
// Integers wrap in 64 bits; a fraction digit adds weight * digit as one
// fused multiply-add. The token keeps the magnitude, the sign is in
// negative. Whatever ends the number is left for the next token.
void reader::parser_number()
{
    const size_t start = m_position;
    double weight = 0.1;
    take_integer_digits();
    take();
    while (!m_atEnd) {
        const char c = cur();
        if (is_digit(c)) {
            const unsigned digit = unsigned(c - '0');
            if (m_token.kind == token_kind::real) {
                m_token.value.real = std::fma(weight, double(digit), m_token.value.real);
                weight *= 0.1;
            } else {
                m_token.value.integer = m_token.value.integer * 10 + digit;
            }
        } else if (c == '.') {
            if (m_token.kind == token_kind::real)
                error(notNumber);
            make_real();
            weight = 0.1;
        } else {
            if (c == 'e' || c == 'E')
                read_exponent();
            break;
        }
        take();
    }
    make_token(m_token.kind, start);
}

// Moves on over the integer digits that follow, as take() would, adding
// each to the value.
void reader::take_integer_digits()
{
    size_t i = m_position;
    uint64_t value = m_token.value.integer;
    while (i + 1 < m_last && is_digit(m_input[i + 1]))
        value = value * 10 + uint64_t(m_input[++i] - '0');
    m_token.value.integer = value;
    m_column += i - m_position;
    m_position = i;
}

// The exponent accumulates in 32 bits and wraps; one that ends up not
// positive leaves the value as it is, and so does one without digits.
void reader::read_exponent()
{
    make_real();
    take();
    while (!m_atEnd && cur() == '+')
        take();
    const bool down = !m_atEnd && cur() == '-';
    if (down)
        take();
    if (m_atEnd || !is_digit(cur()))
        return;
    uint32_t exponent = 0;
    while (!m_atEnd && is_digit(cur())) {
        exponent = exponent * 10 + uint32_t(cur() - '0');
        take();
    }
    scale(m_token.value.real, int32_t(exponent), down);
}

void reader::make_real()
{
    if (m_token.kind == token_kind::signed_integer)
        m_token.value.real = double(int64_t(m_token.value.integer));
    else if (m_token.kind == token_kind::unsigned_integer)
        m_token.value.real = double(m_token.value.integer);
    m_token.kind = token_kind::real;
}

void reader::error(const char* message) const
{
    std::string text = "error at line :";
    text += std::to_string(m_line);
    text += " col :";
    text += std::to_string(m_column);
    text += " msg:";
    text += message;
    throw exception(std::move(text));
}

} // namespace ajson
