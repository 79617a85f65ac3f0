#pragma once

#include <exception>
#include <string>

namespace ajson {

// The only error the JSON reader raises; what() is the whole
// "error at line :L col :C msg:M" text.
class exception : public std::exception
{
public:
    explicit exception(std::string message);
    ~exception() override;
    const char* what() const noexcept override;

private:
    std::string m_message;
};

} // namespace ajson
