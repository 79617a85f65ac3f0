#pragma once

#include "json/fieldlist.h"
#include "json/reader.h"
#include "json/skip.h"
#include "json/values.h"

#include <tuple>
#include <utility>
#include <vector>

namespace ajson {

namespace detail {

// read_value on the index-th of a record's members.
template <typename Members, size_t... I>
void read_nth(reader& rd, size_t index, const Members& members, std::index_sequence<I...>)
{
    ((I == index ? read_value(rd, std::get<I>(members)) : void()), ...);
}

} // namespace detail

// The JSON binding of a record T that declares AJSON(...) with its members.
template <typename T> struct json_impl
{
    // The member names of T's AJSON text, split once per process.
    static const std::vector<detail::string_ref>& this_field_list()
    {
        static const std::vector<detail::string_ref> names = detail::split_fields(T::ajson_field_text());
        return names;
    }

    // Reads one JSON object into the record it is bound to.
    struct json_helper
    {
        T& record;

        // object: '{' '}' | '{' key ':' value (',' key ':' value)* '}'
        // Unknown members are skipped; one token after the '}' is read.
        void read_(reader& rd)
        {
            const token& t = rd.current();
            if (!t.is('{'))
                rd.error("read object must start with {!");
            rd.next();
            if (t.is('}'))
                return;
            for (;;) {
                read_member(rd);
                if (t.is('}'))
                    return rd.next();
                if (!t.is(','))
                    rd.error("invalid json document!");
                rd.next();
            }
        }

    private:
        // key ':' value, leaving the token after the value current.
        void read_member(reader& rd)
        {
            const token& t = rd.current();
            if (t.kind != token_kind::string)
                rd.error("object key must be string");
            const detail::string_ref key{t.chars, t.length};
            rd.next();
            if (!t.is(':'))
                rd.error("invalid json document!");
            rd.next();
            if (store(rd, key))
                rd.next();
            else
                skip(rd);
        }

        // Linear search, length first: a handful of names needs no hashing.
        bool store(reader& rd, const detail::string_ref& key)
        {
            const auto& names = this_field_list();
            for (size_t i = 0; i < names.size(); ++i) {
                if (names[i] == key) {
                    auto members = record.ajson_fields();
                    detail::read_nth(rd, i, members,
                                     std::make_index_sequence<std::tuple_size<decltype(members)>::value>());
                    return true;
                }
            }
            return false;
        }
    };
};

} // namespace ajson
