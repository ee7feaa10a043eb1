#pragma once

#include "web/view_data.h"

#include <QElapsedTimer>
#include <QHash>
#include <QString>
#include <memory>

// The answers of the refresh period, one per page and parameters: fifty screens on the line
// cost the source what one does. Used on the HTTP thread alone, which handles one request at a
// time: a second request for a key whose read is under way is handled after it and finds its
// answer here.
class ViewCache {
public:
    struct Entry {
        std::shared_ptr<const ViewData> Data; // the last good read (kept when a read fails)
        QString Error;                        // the last read failed so
        QElapsedTimer Age;
    };

    explicit ViewCache(int freshMs) : m_freshMs(freshMs) {}
    // The entry of a read within the period, or null.
    const Entry* Fresh(const QString& key) const;
    // The last good data of the key, however old, or null.
    std::shared_ptr<const ViewData> LastGood(const QString& key) const;
    void Put(const QString& key, std::shared_ptr<const ViewData> data, const QString& error);
    int FreshMs() const { return m_freshMs; }

private:
    const int m_freshMs;
    QHash<QString, Entry> m_entries;
};
