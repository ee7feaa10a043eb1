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
    // Room for n more bytes at the write position: what was already read makes room first (the
    // valid data moves to the front), so a stream that never runs empty does not grow the block
    // without end; the block grows only by the shortfall.
    void MakeRoom(size_t n);
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
    // The valid data moved `by` bytes towards the front.
    virtual void Shifted(size_t /*by*/) {}

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

    // Line mode: moves the scan position just past the next line end (end, len bytes) and says
    // whether one was found; the line is then the bytes from the read position to the scan
    // position. Each byte is looked at once, however the line arrives. Without a terminator
    // (len 0) everything buffered is one line.
    bool ScanLine(const char* end, size_t len);

protected:
    void Rewind() override;
    void Shifted(size_t by) override { m_scan -= by; }

private:
    size_t m_scan = 0;
};

// Transmit queue.
class TCiaTxBuffer : public TCiaCustomBuffer {
public:
    size_t PendingCount() const { return Count(); }
};
