#include "json/exception.h"

#include <utility>

namespace ajson {

exception::exception(std::string message)
    : m_message(std::move(message))
{
}

exception::~exception() = default;

const char* exception::what() const noexcept
{
    return m_message.c_str();
}

} // namespace ajson
