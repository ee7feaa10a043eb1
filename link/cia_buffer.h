#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A growable byte block with a read and a write position; valid data lies between them. It grows
// by exactly what is asked, never shrinks, and starts again at offset 0 whenever it runs empty, so
// steady traffic of short lines needs no allocation after the first ones.
class TCiaCustomBuffer {
public:
    virtual ~TCiaCustomBuffer() = default;

    size_t Capacity() const { return m_block.size(); }
    size_t ReadPos() const { return m_read; }
    size_t WritePos() const { return m_write; }
    size_t Count() const { return m_write - m_read; }
    size_t FreeRoom() const { return m_block.size() - m_write; }

    void Grow(size_t n) { m_block.resize(m_block.size() + n); }
    char* Data() { return m_block.data(); }
    const char* Data() const { return m_block.data(); }

    // Appends, growing by the shortfall.
    void Append(const char* data, size_t n);
    // Marks n more bytes at the write position as valid (after filling them in place).
    void Advance(size_t n) { m_write += n; }
    // Copies up to n bytes from the read position and consumes them.
    size_t Read(char* dest, size_t n);
    void Clear() { Rewind(); }

protected:
    virtual void Rewind();

private:
    std::vector<char> m_block;
    size_t m_read = 0;
    size_t m_write = 0;
};

// Receive buffer: adds the scan position of the line search, which survives between fetches so a
// terminator split across two of them is still found.
class TCiaCommBuffer : public TCiaCustomBuffer {
public:
    size_t ScanPos() const { return m_scan; }
    void SetScanPos(size_t pos) { m_scan = pos; }

protected:
    void Rewind() override;

private:
    size_t m_scan = 0;
};

// Transmit queue.
class TCiaTxBuffer : public TCiaCustomBuffer {
public:
    size_t PendingCount() const { return Count(); }
};
