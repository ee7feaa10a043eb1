#pragma once

#include <QPointF>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The trend plot's samples since Connect, kept compact (a 32-bit millisecond time and one float
// per curve) with a min/max summary per block of samples, so that drawing a view costs about one
// summary lookup per pixel column however long the run has been.
class PlotStore {
public:
    // U, I and P of phases 1 to 3: curve = phase index * 3 + quantity.
    static constexpr int kCurves = 9;
    static constexpr int kBlock = 64;
    using Sample = std::array<float, kCurves>;

    void Clear();
    // seconds: since the store's start, not decreasing; NaN marks a value that is missing.
    void Append(double seconds, const Sample& values);

    size_t Size() const { return m_ms.size(); }
    double FirstSeconds() const { return m_ms.empty() ? 0.0 : m_ms.front() / 1000.0; }
    double LastSeconds() const { return m_ms.empty() ? 0.0 : m_ms.back() / 1000.0; }

    // The curve between from and to (seconds) as at most two points per column, its minimum
    // and maximum within the column, in the order they occurred; empty columns give none.
    std::vector<QPointF> Decimated(int curve, double from, double to, int columns) const;

    // The sample nearest in time to seconds (the earlier of two as near); Size() when empty.
    size_t Nearest(double seconds) const;
    double SecondsAt(size_t index) const { return m_ms[index] / 1000.0; }
    // NaN where the value is missing.
    float Value(int curve, size_t index) const { return m_values[curve][index]; }

    // Bytes held, capacity included.
    size_t MemoryBytes() const;

private:
    struct Range {
        float min;
        float max;
        uint32_t minAt;
        uint32_t maxAt;
    };
    Range Scan(int curve, size_t begin, size_t end) const;

    std::vector<uint32_t> m_ms;
    std::array<std::vector<float>, kCurves> m_values;
    std::array<std::vector<Range>, kCurves> m_blocks;
};
