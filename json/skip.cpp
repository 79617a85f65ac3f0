#include "json/skip.h"

#include "json/nesting.h"
#include "json/reader.h"

namespace ajson {

namespace {

const char* const invalidDocument = "invalid json document!";

bool is_symbol(const token& t, char symbol)
{
    return t.kind == token_kind::symbol && t.is(symbol);
}

bool opens(const token& t)
{
    return is_symbol(t, '[') || is_symbol(t, '{');
}

void open(reader& rd, detail::nesting& levels)
{
    levels.push(rd.current().is('{'));
    rd.next();
}

// Past the closing bracket. A value inside an object may be followed by its
// comma, which the object passes here.
void close(reader& rd, detail::nesting& levels)
{
    rd.next();
    levels.pop();
    if (!levels.empty() && levels.in_object() && is_symbol(rd.current(), ','))
        rd.next();
}

// array: '[' (value | ',')* ']'
void array_step(reader& rd, detail::nesting& levels)
{
    const token& t = rd.current();
    if (is_scalar(t.kind) || is_symbol(t, ','))
        return rd.next();
    if (is_symbol(t, ']'))
        return close(rd, levels);
    if (!opens(t))
        rd.error(invalidDocument);
    open(rd, levels);
}

// object: '{' (scalar ':' value? ','?)* '}'
// A symbol in place of the value is left for the next round to judge.
void object_step(reader& rd, detail::nesting& levels)
{
    const token& t = rd.current();
    if (is_symbol(t, '}'))
        return close(rd, levels);
    if (!is_scalar(t.kind))
        rd.error(invalidDocument);
    rd.next();
    if (!is_symbol(t, ':'))
        rd.error(invalidDocument);
    rd.next();
    if (opens(t))
        return open(rd, levels);
    if (is_scalar(t.kind))
        rd.next();
    if (is_symbol(t, ','))
        rd.next();
}

} // namespace

// Iterative, so a header nested a million levels deep cannot exhaust the
// call stack.
void skip(reader& rd)
{
    const token& t = rd.current();
    if (is_scalar(t.kind))
        return rd.next();
    if (!opens(t))
        return;
    detail::nesting levels;
    open(rd, levels);
    while (!levels.empty()) {
        if (levels.in_object())
            object_step(rd, levels);
        else
            array_step(rd, levels);
    }
}

} // namespace ajson
