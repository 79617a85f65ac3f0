#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ajson {
namespace detail {

// The kinds of the open containers while a value is skipped, innermost
// last, one bit per level. The first 512 levels need no allocation; deeper
// ones grow on the heap instead of on the call stack.
class nesting
{
public:
    bool empty() const { return m_depth == 0; }
    size_t depth() const { return m_depth; }
    bool in_object() const { return m_top; }

    void push(bool object)
    {
        if (m_depth / 64 >= m_inline.size() + m_more.size())
            m_more.push_back(0);
        uint64_t& w = word(m_depth);
        w = (w & ~(uint64_t(1) << bit(m_depth))) | (uint64_t(object) << bit(m_depth));
        ++m_depth;
        m_top = object;
    }

    void pop()
    {
        --m_depth;
        m_top = m_depth != 0 && ((word(m_depth - 1) >> bit(m_depth - 1)) & 1u);
    }

private:
    static unsigned bit(size_t level) { return unsigned(level % 64); }

    uint64_t& word(size_t level)
    {
        const size_t w = level / 64;
        return w < m_inline.size() ? m_inline[w] : m_more[w - m_inline.size()];
    }

    size_t m_depth = 0;
    bool m_top = false; // the innermost level's kind, read on every step
    std::array<uint64_t, 8> m_inline{};
    std::vector<uint64_t> m_more;
};

} // namespace detail
} // namespace ajson
