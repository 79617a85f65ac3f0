#pragma once

#include <functional>

namespace LCD {
namespace GlobalMessageHander {

// Wrapper whose address travels as the payload of a query command; the
// device side overwrites result in place during the synchronous send.
template <typename T> struct QueryInfo
{
    std::function<void(const T&)> callback;
    T result{};
};

// Same for a request with a key: the device side reads request and fills
// response in place.
template <typename T, typename R> struct RequestInfo
{
    std::function<void(const T&)> callback;
    R request{};
    T response{};
};

} // namespace GlobalMessageHander
} // namespace LCD
