#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Where the line's web view reads: the line's server, or a station's own journal when there is
// no server. The reads run on a thread of their own, which owns the one connection (a Qt SQL
// connection belongs to its thread); the HTTP thread waits for an answer at most the time-out,
// so a server that hangs holds no page longer than that. A connection that failed is made anew
// for the next read, so a server that comes back is simply reached again. The thread is a
// std::thread: its end is ordered before the destructor by the join, which ThreadSanitizer sees
// (QThread::wait waits inside Qt, where it sees nothing).
class ViewSource {
public:
    struct Where {
        QString Uri;         // a libpq URI; empty: the journal
        QString JournalPath; // the station's journal, when there is no server
        int TimeoutMs = 5000;
    };
    // What one read made, or why it failed.
    template <typename T> struct Outcome {
        std::shared_ptr<const T> Value;
        QString Error;
    };

    explicit ViewSource(const Where& where);
    ~ViewSource();
    ViewSource(const ViewSource&) = delete;
    ViewSource& operator=(const ViewSource&) = delete;

    // Runs read on the source's thread with the open connection. Its value must be its own
    // (read may still run after the wait gave up).
    template <typename T> Outcome<T> Read(std::function<T(QSqlDatabase&, QString*)> read)
    {
        auto value = std::make_shared<std::shared_ptr<const T>>();
        const QString error = Run([value, read](QSqlDatabase& db, QString* e) {
            *value = std::make_shared<const T>(read(db, e));
        });
        return {error.isEmpty() ? *value : nullptr, error};
    }

    bool IsServer() const { return !m_where.Uri.isEmpty(); }
    // "results server postgresql://…" or "results journal /path": for messages.
    QString Name() const;
    // Since when the source has failed to answer, in local time; invalid while it answers.
    QDateTime DownSince() const;
    QString LastError() const;

private:
    // A read handed to the reading thread; its outcome comes back under the job's own lock
    // (a plain mutex and condition).
    struct Job {
        std::function<void(QSqlDatabase&, QString*)> Work;
        std::mutex Mutex;
        std::condition_variable Finished;
        std::optional<QString> Error; // set once the read is over
    };
    QString Run(std::function<void(QSqlDatabase&, QString*)> work);
    void Serve();
    bool Open(QString* error);
    void Note(const QString& error);

    const Where m_where;
    const QString m_connection;
    std::thread m_thread;
    bool m_open = false;  // on the source's thread only
    bool m_empty = false; // the journal did not exist: an empty one in memory stands in
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_stop = false;
    QDateTime m_busySince; // the read in progress began then
    QDateTime m_downSince;
    QString m_lastError;
};
