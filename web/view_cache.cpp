#include "web/view_cache.h"

namespace {

// Entries unasked for this long go when the cache grows past its size.
constexpr int kMostEntries = 500;
constexpr qint64 kForgetMs = 10 * 60 * 1000;

} // namespace

const ViewCache::Entry* ViewCache::Fresh(const QString& key) const
{
    const auto it = m_entries.constFind(key);
    return it != m_entries.cend() && !it->Age.hasExpired(m_freshMs) ? &*it : nullptr;
}

std::shared_ptr<const ViewData> ViewCache::LastGood(const QString& key) const
{
    const auto it = m_entries.constFind(key);
    return it != m_entries.cend() ? it->Data : nullptr;
}

void ViewCache::Put(const QString& key, std::shared_ptr<const ViewData> data, const QString& error)
{
    if (m_entries.size() > kMostEntries)
        m_entries.removeIf([](const auto& it) { return it.value().Age.hasExpired(kForgetMs); });
    Entry& entry = m_entries[key];
    if (data)
        entry.Data = std::move(data);
    entry.Error = error;
    entry.Age.start();
}
