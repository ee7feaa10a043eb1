#include "link/cia_buffer.h"

#include <algorithm>
#include <cstring>

void TCiaCustomBuffer::Append(const char* data, size_t n)
{
    if (n == 0)
        return;
    MakeRoom(n);
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

void TCiaCustomBuffer::MakeRoom(size_t n)
{
    if (FreeRoom() >= n)
        return;
    if (m_read > 0) {
        const size_t by = m_read;
        std::memmove(m_block.data(), m_block.data() + m_read, Count());
        m_write -= by;
        m_read = 0;
        Shifted(by);
    }
    if (FreeRoom() < n)
        Grow(n - FreeRoom());
}

bool TCiaCommBuffer::ScanLine(const char* end, size_t len)
{
    const size_t write = WritePos();
    size_t scan = std::max(m_scan, ReadPos());
    if (len == 0) {
        m_scan = write;
        return write > ReadPos();
    }
    const char* data = Data();
    while (write - scan >= len && std::memcmp(data + scan, end, len) != 0) {
        const void* next = std::memchr(data + scan + 1, end[0], write - scan - 1);
        scan = next ? static_cast<size_t>(static_cast<const char*>(next) - data) : write;
    }
    if (write - scan < len) {
        m_scan = scan;
        return false;
    }
    m_scan = scan + len;
    return true;
}
