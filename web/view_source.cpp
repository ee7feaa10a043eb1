#include "web/view_source.h"

#include "results/results_database.h"
#include "results/results_schema.h"
#include "results/server_failure.h"

#include <QFileInfo>
#include <QSqlError>
#include <QUuid>
#include <chrono>
#include <pthread.h>

ViewSource::ViewSource(const Where& where)
    : m_where(where),
      m_connection(QStringLiteral("tav-view-%1").arg(QUuid::createUuid().toString(QUuid::Id128)))
{
    m_thread = std::thread([this] { Serve(); });
    pthread_setname_np(m_thread.native_handle(), "view-source");
}

ViewSource::~ViewSource()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

QString ViewSource::Name() const
{
    return IsServer()
               ? QStringLiteral("results server %1").arg(ResultsDatabase::ShownUri(m_where.Uri))
               : QStringLiteral("results journal %1").arg(m_where.JournalPath);
}

QDateTime ViewSource::DownSince() const
{
    std::lock_guard lock(m_mutex);
    return m_downSince;
}

QString ViewSource::LastError() const
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

void ViewSource::Note(const QString& error)
{
    std::lock_guard lock(m_mutex);
    m_lastError = error;
    if (error.isEmpty())
        m_downSince = QDateTime();
    else if (!m_downSince.isValid())
        m_downSince = QDateTime::currentDateTime();
}

QString ViewSource::Run(std::function<void(QSqlDatabase&, QString*)> work)
{
    // Connecting and each statement have the time-out; past it the source is not answering,
    // and the page says so rather than wait on.
    const int waitMs = m_where.TimeoutMs + 250;
    auto job = std::make_shared<Job>();
    job->Work = std::move(work);
    {
        std::lock_guard lock(m_mutex);
        // A read that hangs on: the ones behind it would only wait as long again.
        if (m_busySince.isValid() && m_busySince.msecsTo(QDateTime::currentDateTime()) > waitMs) {
            m_lastError = QStringLiteral("%1: no answer").arg(Name());
            if (!m_downSince.isValid())
                m_downSince = m_busySince;
            return m_lastError;
        }
        m_jobs.push_back(job);
    }
    m_wake.notify_one();
    QString error;
    {
        std::unique_lock lock(job->Mutex);
        if (job->Finished.wait_for(lock, std::chrono::milliseconds(waitMs),
                                   [&] { return job->Error.has_value(); }))
            error = *job->Error;
        else
            error = QStringLiteral("%1: no answer within %2 ms").arg(Name()).arg(waitMs);
    }
    Note(error);
    return error;
}

bool ViewSource::Open(QString* error)
{
    // A journal made since the empty stand-in was opened is read from now on.
    if (m_open && m_empty && QFileInfo::exists(m_where.JournalPath)) {
        ResultsDatabase::Close(m_connection);
        m_open = false;
    }
    if (m_open)
        return true;
    if (IsServer()) {
        m_open =
            ResultsDatabase::OpenServerToRead(m_connection, m_where.Uri, error, m_where.TimeoutMs);
        return m_open;
    }
    // The view only reads: a station that has recorded nothing yet gets no journal from it,
    // but an empty one in memory, which shows no runs.
    m_empty = !QFileInfo::exists(m_where.JournalPath);
    if (m_empty) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(QStringLiteral(":memory:"));
        m_open = db.open() && ResultsSchema::Ensure(db, error);
        if (!m_open && error->isEmpty())
            *error = db.lastError().text();
        return m_open;
    }
    m_open =
        ResultsDatabase::OpenJournal(m_connection, m_where.JournalPath, error, m_where.TimeoutMs);
    if (m_open) {
        // Opening made it current; from here on this connection only reads.
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        ResultsSchema::Exec(db, QStringLiteral("PRAGMA query_only = ON"), nullptr);
    }
    return m_open;
}

void ViewSource::Serve()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_jobs.empty(); });
            if (m_stop)
                break;
            job = m_jobs.front();
            m_jobs.pop_front();
            m_busySince = QDateTime::currentDateTime();
        }
        QString error;
        if (Open(&error)) {
            {
                QSqlDatabase db = QSqlDatabase::database(m_connection, false);
                job->Work(db, &error);
            }
            if (!error.isEmpty()) {
                // Said in this program's words; the connection is made anew for the next read.
                if (IsServer())
                    error =
                        QStringLiteral("results server %1")
                            .arg(ServerFailureText(ClassifyServerError(error),
                                                   ResultsDatabase::ShownUri(m_where.Uri), error));
                else
                    error =
                        QStringLiteral("results journal %1: %2").arg(m_where.JournalPath, error);
                ResultsDatabase::Close(m_connection);
                m_open = false;
            }
        } else if (IsServer() && !error.startsWith(QLatin1String("results server"))) {
            error = QStringLiteral("results server %1").arg(error);
        }
        {
            std::lock_guard lock(m_mutex);
            m_busySince = QDateTime();
        }
        {
            std::lock_guard lock(job->Mutex);
            job->Error = error;
        }
        job->Finished.notify_all();
    }
    if (m_open)
        ResultsDatabase::Close(m_connection);
}
