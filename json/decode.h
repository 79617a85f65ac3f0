#pragma once

#include "json/jsonimpl.h"

#include <exception>
#include <string>

namespace LCD {
namespace ProtoModel {

// Decodes the JSON object in text into out, a record that declares
// AJSON(...). Members absent from the text keep their values. On failure
// err holds the error text ("error at line :L col :C msg:M") and out keeps
// what was stored before the fault; no exception leaves.
template <typename T> bool decode(const std::string& text, T& out, std::string& err)
{
    try {
        ajson::reader rd(text.c_str());
        rd.next();
        typename ajson::json_impl<T>::json_helper helper{out};
        helper.read_(rd);
        return true;
    } catch (const std::exception& e) {
        err = e.what();
        return false;
    }
}

} // namespace ProtoModel
} // namespace LCD
