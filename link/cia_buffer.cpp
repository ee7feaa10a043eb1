#include "link/cia_buffer.h"

#include <algorithm>
#include <cstring>

void TCiaCustomBuffer::Append(const char* data, size_t n)
{
    if (n == 0)
        return;
    if (FreeRoom() < n)
        Grow(n - FreeRoom());
    std::memcpy(m_block.data() + m_write, data, n);
    m_write += n;
}

size_t TCiaCustomBuffer::Read(char* dest, size_t n)
{
    n = std::min(n, Count());
    if (n > 0)
        std::memcpy(dest, m_block.data() + m_read, n);
    m_read += n;
    if (m_read == m_write)
        Rewind();
    return n;
}

void TCiaCustomBuffer::Rewind()
{
    m_read = 0;
    m_write = 0;
}

void TCiaCommBuffer::Rewind()
{
    TCiaCustomBuffer::Rewind();
    m_scan = 0;
}
