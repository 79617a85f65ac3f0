#include "json/reader.h"

#include "json/exception.h"

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
bool ends_word(char c)
{
    switch (c) {
    case '\t': case '\n': case '\r': case ' ':
    case ',': case ':': case '[': case ']': case '{': case '}':
        return true;
    default:
        return false;
    }
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
    : m_limit(limit == SIZE_MAX ? 0 : limit)
    , m_atEnd(text == nullptr || *text == '\0')
    , m_input(text ? text : "")
{
}

// Moves one character on. Carriage returns take no column; a limit or a
// NUL byte ends the input.
inline void reader::take()
{
    if (m_atEnd)
        return;
    const char c = m_input[++m_position];
    if (c != '\r')
        ++m_column;
    if ((m_limit != 0 && m_position >= m_limit) || c == '\0')
        m_atEnd = true;
    if (c == '\n') {
        ++m_line;
        m_column = 0;
    }
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
    if (m_atEnd || !skip_blank())
        return make_end();
    const char c = cur();
    switch (c) {
    case '\0':
        return make_end();
    case '"':
        return read_quoted();
    case ',': case ':': case '[': case ']': case '{': case '}':
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
    advance_within(notQuoted);
    const size_t start = m_position;
    while (cur() != '"') {
        if (cur() == '\n' || cur() == '\0')
            error(notQuoted);
        if (cur() == '\\')
            advance_within(notQuoted);
        advance_within(notQuoted);
    }
    make_token(token_kind::string, start);
    take();
}

// word: any characters up to white space or one of , : [ ] { }
// Quotes, slashes and backslashes inside are plain characters; a word that
// runs into the end of input is an error.
void reader::read_word()
{
    const size_t start = m_position;
    advance_within(notWord);
    while (!ends_word(cur()))
        advance_within(notWord);
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
