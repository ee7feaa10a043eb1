#include "record/plot_store.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kEmptyMin = std::numeric_limits<float>::infinity();
constexpr float kEmptyMax = -std::numeric_limits<float>::infinity();

} // namespace

void PlotStore::Clear()
{
    m_ms.clear();
    for (int c = 0; c < kCurves; ++c) {
        m_values[c].clear();
        m_blocks[c].clear();
    }
}

void PlotStore::Append(double seconds, const Sample& values)
{
    const auto ms =
        static_cast<uint32_t>(std::clamp(std::round(seconds * 1000.0), 0.0, 4294967295.0));
    const auto index = static_cast<uint32_t>(m_ms.size());
    m_ms.push_back(m_ms.empty() ? ms : std::max(ms, m_ms.back()));
    for (int c = 0; c < kCurves; ++c) {
        const float v = values[c];
        m_values[c].push_back(v);
        if (index % kBlock == 0)
            m_blocks[c].push_back({kEmptyMin, kEmptyMax, index, index});
        Range& block = m_blocks[c].back();
        if (std::isnan(v))
            continue;
        if (v < block.min) {
            block.min = v;
            block.minAt = index;
        }
        if (v > block.max) {
            block.max = v;
            block.maxAt = index;
        }
    }
}

PlotStore::Range PlotStore::Scan(int curve, size_t begin, size_t end) const
{
    Range r{kEmptyMin, kEmptyMax, 0, 0};
    auto take = [&r](const Range& part) {
        if (part.min < r.min) {
            r.min = part.min;
            r.minAt = part.minAt;
        }
        if (part.max > r.max) {
            r.max = part.max;
            r.maxAt = part.maxAt;
        }
    };
    const std::vector<float>& values = m_values[curve];
    size_t i = begin;
    // Single samples up to a block boundary, whole blocks from their summary, the rest singly.
    for (; i < end && i % kBlock != 0; ++i)
        if (!std::isnan(values[i]))
            take({values[i], values[i], static_cast<uint32_t>(i), static_cast<uint32_t>(i)});
    for (; i + kBlock <= end; i += kBlock)
        take(m_blocks[curve][i / kBlock]);
    for (; i < end; ++i)
        if (!std::isnan(values[i]))
            take({values[i], values[i], static_cast<uint32_t>(i), static_cast<uint32_t>(i)});
    return r;
}

std::vector<QPointF> PlotStore::Decimated(int curve, double from, double to, int columns) const
{
    std::vector<QPointF> points;
    if (curve < 0 || curve >= kCurves || columns <= 0 || !(to > from) || m_ms.empty())
        return points;
    points.reserve(static_cast<size_t>(columns) * 2);
    const double width = (to - from) / columns;
    auto indexAt = [this](double seconds) {
        const double ms = std::ceil(seconds * 1000.0);
        if (ms <= 0)
            return size_t{0};
        const auto key = static_cast<uint32_t>(std::min(ms, 4294967295.0));
        return static_cast<size_t>(std::lower_bound(m_ms.begin(), m_ms.end(), key) - m_ms.begin());
    };
    size_t begin = indexAt(from);
    for (int col = 0; col < columns && begin < m_ms.size(); ++col) {
        const size_t end =
            col + 1 == columns ? indexAt(to + 0.0005) : indexAt(from + width * (col + 1));
        if (end <= begin)
            continue;
        const Range r = Scan(curve, begin, end);
        begin = end;
        if (r.min > r.max)
            continue;
        const QPointF low(m_ms[r.minAt] / 1000.0, r.min);
        const QPointF high(m_ms[r.maxAt] / 1000.0, r.max);
        if (r.minAt == r.maxAt) {
            points.push_back(low);
        } else if (r.minAt < r.maxAt) {
            points.push_back(low);
            points.push_back(high);
        } else {
            points.push_back(high);
            points.push_back(low);
        }
    }
    return points;
}

size_t PlotStore::Nearest(double seconds) const
{
    if (m_ms.empty())
        return 0;
    const double ms = std::clamp(std::round(seconds * 1000.0), 0.0, 4294967295.0);
    const auto after =
        std::lower_bound(m_ms.begin(), m_ms.end(), static_cast<uint32_t>(ms)) - m_ms.begin();
    if (after == 0)
        return 0;
    const auto index = static_cast<size_t>(after);
    if (index == m_ms.size() || ms - m_ms[index - 1] <= m_ms[index] - ms)
        return index - 1;
    return index;
}

size_t PlotStore::MemoryBytes() const
{
    size_t bytes = m_ms.capacity() * sizeof(uint32_t);
    for (int c = 0; c < kCurves; ++c)
        bytes += m_values[c].capacity() * sizeof(float) + m_blocks[c].capacity() * sizeof(Range);
    return bytes;
}
