// Feeds arbitrary bytes to the header decoder, and to the tokenizer and the
// skipper on their own, checking that every failure is a reader error and
// that tokens never point outside the text.

#include "protomodel/upgradeinfo.h"
#include "json/decode.h"
#include "json/escape.h"
#include "json/exception.h"
#include "json/reader.h"
#include "json/skip.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool is_reader_error(const std::string& text)
{
    return text.rfind("error at line :", 0) == 0;
}

void decode(const std::string& text)
{
    LCD::ProtoModel::Device::s_UpgradeInfo info;
    std::string err;
    if (!LCD::ProtoModel::decode(text, info, err))
        check(is_reader_error(err));
}

// Every token, up to the end or the first error, lies inside the text
// (the end token on its NUL).
void tokenize(const std::string& text)
{
    ajson::reader rd(text.c_str());
    const char* const first = text.c_str();
    const char* const last = first + text.size() + 1;
    std::string decoded;
    try {
        do {
            rd.next();
            const ajson::token& t = rd.current();
            check(t.chars >= first && t.chars + t.length <= last);
            if (t.kind == ajson::token_kind::string)
                ajson::escape_string(decoded, t.chars, t.length);
        } while (rd.current().kind != ajson::token_kind::end);
    } catch (const ajson::exception& e) {
        check(is_reader_error(e.what()));
    }
}

void skip_all(const std::string& text)
{
    ajson::reader rd(text.c_str());
    try {
        rd.next();
        while (rd.current().kind != ajson::token_kind::end) {
            const size_t before = rd.position();
            ajson::skip(rd);
            if (rd.position() == before && rd.current().kind != ajson::token_kind::end)
                rd.next(); // a symbol that starts no value
        }
    } catch (const ajson::exception& e) {
        check(is_reader_error(e.what()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    decode(text);
    tokenize(text);
    skip_all(text);
    return 0;
}
