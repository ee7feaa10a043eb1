#include "results/results_store.h"

#include "results/results_database.h"
#include "results/results_schema.h"
#include "results/run_tables.h"
#include "results/server_sync.h"
#include "results/station_now.h"

#include "link/cia_events.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSqlDatabase>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <functional>
#include <future>
#include <vector>

namespace {

// Work for the store's thread, posted as an event of its own. The hand-over through Qt's queue
// is marked for ThreadSanitizer, which cannot see inside Qt's own locks.
class WorkEvent : public QEvent {
public:
    explicit WorkEvent(std::function<void()> work) : QEvent(Type()), Work(std::move(work)) {}
    static QEvent::Type Type()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    std::function<void()> Work;
};

void PostWork(QObject* receiver, std::function<void()> work)
{
    auto* event = new WorkEvent(std::move(work));
    cia_events::HandedOver(event);
    QCoreApplication::postEvent(receiver, event);
}

// Runs the work on the receiver's thread and waits until it is done.
void RunWork(QObject* receiver, const std::function<void()>& work)
{
    std::promise<void> done;
    PostWork(receiver, [&] {
        work();
        done.set_value();
    });
    done.get_future().wait();
}

// Runs the work posted to it on its own thread.
class WorkReceiver : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent* event) override
    {
        cia_events::TakenOver(event); // before anything of it is read, its type too
        if (event->type() != WorkEvent::Type())
            return QObject::event(event);
        static_cast<WorkEvent*>(event)->Work();
        return true;
    }
};

} // namespace

// Lives on the store's thread and owns its connections; the store only queues jobs for it.
class StoreWorker : public WorkReceiver {
public:
    struct Job {
        enum Kind { Begin, Step, End, Sync, Test } kind;
        RunRecord run;
        RowRecord row;
        QString text; // the UUID of a step, the URI of a test
    };

    explicit StoreWorker(ResultsStore& store)
        : m_store(store),
          m_name(QStringLiteral("tav-results-%1").arg(QUuid::createUuid().toString(QUuid::Id128))),
          m_retry(new QTimer(this)), m_renew(new QTimer(this)),
          m_now(m_name + QStringLiteral("-now"))
    {
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, [this] { Drain(); });
        // The line's view sees a run that lasts as running, a long row or not.
        m_renew->setInterval(StationNow::kRenewMs);
        connect(m_renew, &QTimer::timeout, this, [this] {
            m_now.Send(Server());
            if (!m_now.Live())
                m_renew->stop();
        });
    }

    void Post(Job job)
    {
        QMutexLocker lock(&m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_scheduled)
            return;
        m_scheduled = true;
        PostWork(this, [this] { Drain(); });
    }

    // Everything queued, in one journal transaction, then the server. Writes the journal could
    // not take (another process holds it, it cannot be opened) wait for the next batch, or for
    // a try of their own a moment later, in the order they came.
    void Drain()
    {
        std::vector<Job> jobs;
        QString server;
        int budget = 0;
        {
            QMutexLocker lock(&m_mutex);
            jobs.swap(m_jobs);
            m_scheduled = false;
            server = m_server;
            budget = m_budgetMs;
        }
        if (jobs.empty() && m_waiting.empty())
            return;
        bool sync = false;
        QStringList tests;
        for (const Job& job : jobs) {
            if (job.kind == Job::Begin)
                m_now.Started(job.run);
            else if (job.kind == Job::Step)
                m_now.AtRow(job.text, job.row);
            else if (job.kind == Job::End)
                m_now.Ended(job.run);
        }
        for (Job& job : jobs) {
            if (job.kind <= Job::End)
                m_waiting.push_back(std::move(job));
            else if (job.kind == Job::Sync)
                sync = true;
            else
                tests << job.text;
        }
        // An ended run goes on to the server once it is in the journal.
        if (!m_waiting.empty())
            sync = WriteJournal() || sync;
        if (sync && !server.isEmpty())
            SendRuns(server, budget);
        else if (sync)
            SetStatus([&](ResultsStore::Status& s) { s.Unsent = std::max(0, CountUnsent()); });
        // After the ended runs went: the view finds their station idle with the run in place.
        m_now.Send(server);
        if (m_now.Live() && !m_renew->isActive())
            m_renew->start();
        for (const QString& uri : tests)
            Test(uri, budget);
        if (!m_waiting.empty() && !m_retry->isActive())
            m_retry->start(kRetryMs);
        Tell([](ResultsStore& store) { Q_EMIT store.StatusChanged(); });
    }

    // Drains, then tries the writes that wait until they are in or waitMs have passed; those
    // still waiting then are given up, their runs told as not recorded.
    void Settle(int waitMs)
    {
        Drain();
        const QDeadlineTimer deadline(waitMs);
        while (!m_waiting.empty() && !deadline.hasExpired()) {
            QElapsedTimer attempt;
            attempt.start();
            Drain();
            // A try that failed without waiting for a lock is not repeated at once.
            if (!m_waiting.empty() && attempt.elapsed() < kRetryMs / 10)
                QThread::msleep(kRetryMs / 10);
        }
        if (m_waiting.empty())
            return;
        QStringList runs;
        for (const Job& job : m_waiting) {
            const QString& uuid = job.kind == Job::Step ? job.text : job.run.Uuid;
            if (!runs.contains(uuid))
                runs << uuid;
        }
        m_waiting.clear();
        NotRecorded(runs, m_waitReason);
    }

    void Close()
    {
        m_retry->stop();
        m_renew->stop();
        m_now.Close();
        if (m_journalOpen)
            ResultsDatabase::Close(m_name);
        m_journalOpen = false;
    }

    void SetServer(const QString& uri)
    {
        QMutexLocker lock(&m_mutex);
        m_server = uri;
    }
    void SetBudget(int ms)
    {
        QMutexLocker lock(&m_mutex);
        m_budgetMs = std::max(1, ms);
    }
    QString Server() const
    {
        QMutexLocker lock(&m_mutex);
        return m_server;
    }
    ResultsStore::Status Status() const
    {
        QMutexLocker lock(&m_mutex);
        return m_status;
    }

private:
    // A signal of the store, emitted on the thread that made it; dropped if the store is gone.
    // The hand-over is marked for ThreadSanitizer as every other one of the store; the news goes
    // with the store's own receiver, so it is dropped when the store is gone.
    template <typename F> void Tell(F emit)
    {
        ResultsStore* store = &m_store;
        PostWork(store->m_home, [store, emit] { emit(*store); });
    }

    template <typename F> void SetStatus(F change)
    {
        QMutexLocker lock(&m_mutex);
        change(m_status);
    }

    // False, with the reason kept for the writes that wait, when the journal cannot be opened.
    bool OpenJournal()
    {
        if (m_journalOpen)
            return true;
        m_journalOpen =
            ResultsDatabase::OpenJournal(m_name, m_store.m_journalPath, &m_waitReason, kAttemptMs);
        return m_journalOpen;
    }

    // -1 when the journal cannot tell (and says why in the status).
    int CountUnsent()
    {
        if (!OpenJournal()) {
            KeepJournalError(m_waitReason);
            return -1;
        }
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        QString error;
        const int unsent = RunTables::UnsentCount(db, &error);
        if (unsent < 0)
            KeepJournalError(error);
        return unsent;
    }

    // An error with the journal it is about: this station's unless it names another.
    QString Located(const QString& error) const
    {
        if (error.startsWith(QFileInfo(m_store.m_journalPath).absolutePath()))
            return error;
        return QStringLiteral("%1: %2").arg(m_store.m_journalPath, error);
    }

    // The first failure is kept: a later batch that went in does not bring it back.
    void KeepJournalError(const QString& error)
    {
        SetStatus([&](ResultsStore::Status& s) {
            if (s.JournalError.isEmpty())
                s.JournalError = Located(error);
        });
    }

    static bool WriteJob(QSqlDatabase& db, const Job& job, QString* error)
    {
        if (job.kind == Job::Begin)
            return RunTables::InsertRun(db, job.run, error);
        if (job.kind == Job::Step)
            return RunTables::InsertStep(db, job.text, job.row, error);
        return RunTables::EndRun(db, job.run, error);
    }

    static QString JobName(const Job& job)
    {
        if (job.kind == Job::Step)
            return QStringLiteral("row %1 of run %2").arg(job.row.Order).arg(job.text);
        return QStringLiteral("the %1 of run %2")
            .arg(job.kind == Job::Begin ? QStringLiteral("start") : QStringLiteral("end"),
                 job.run.Uuid);
    }

    // The runs of these writes, told as not in the journal, with the reason.
    void NotRecorded(const QStringList& runs, const QString& reason)
    {
        SetStatus([&](ResultsStore::Status& s) {
            for (const QString& uuid : runs)
                if (!s.NotRecorded.contains(uuid))
                    s.NotRecorded << uuid;
            if (s.NotRecordedReason.isEmpty())
                s.NotRecordedReason = Located(reason);
        });
    }

    // The writes that wait, in one transaction, each behind a savepoint of its own: one that
    // fails costs itself alone, never the run's end or the rows queued after it. True when an
    // ended run went in. A transaction that cannot begin or commit keeps them all waiting.
    bool WriteJournal()
    {
        if (!OpenJournal())
            return false;
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (!ResultsSchema::Begin(db, &m_waitReason))
            return false;
        QStringList refused; // runs whose end the journal refused: not recorded
        QString reason;
        bool ended = false;
        for (const Job& job : m_waiting) {
            QString failed;
            if (!ResultsSchema::Exec(db, QStringLiteral("SAVEPOINT job"), &m_waitReason)) {
                ResultsSchema::Rollback(db);
                return false;
            }
            if (WriteJob(db, job, &failed)) {
                ResultsSchema::Exec(db, QStringLiteral("RELEASE job"), nullptr);
                ended = ended || job.kind == Job::End;
                continue;
            }
            ResultsSchema::Exec(db, QStringLiteral("ROLLBACK TO job"), nullptr);
            ResultsSchema::Exec(db, QStringLiteral("RELEASE job"), nullptr);
            failed = QStringLiteral("%1 not kept: %2").arg(JobName(job), failed);
            if (job.kind == Job::End) {
                refused << job.run.Uuid;
                reason = failed;
            } else {
                KeepJournalError(failed);
            }
        }
        if (!ResultsSchema::Commit(db, &m_waitReason)) {
            ResultsSchema::Rollback(db);
            return false;
        }
        m_waiting.clear();
        if (!refused.isEmpty())
            NotRecorded(refused, reason);
        return ended;
    }

    // The unsent runs of this station's journal, and of the journals its former names left.
    void SendRuns(const QString& uri, int budgetMs)
    {
        if (!OpenJournal()) {
            KeepJournalError(m_waitReason);
            return;
        }
        const QString serverName = m_name + QStringLiteral("-server");
        const QString shownUri = ResultsDatabase::ShownUri(uri);
        const SyncLimits limits{budgetMs, QDeadlineTimer(budgetMs)};
        QString error;
        ServerFailure failure = ServerFailure::None;
        SyncOutcome outcome;
        // A new connection for every try: a server restarted in between is simply reached.
        const bool reached =
            ResultsDatabase::OpenServer(serverName, uri, &error, budgetMs, &failure);
        {
            QSqlDatabase journal = QSqlDatabase::database(m_name, false);
            QSqlDatabase server;
            if (reached)
                server = QSqlDatabase::database(serverName, false);
            outcome = SyncJournals(journal, m_store.m_journalPath, reached ? &server : nullptr,
                                   shownUri, limits);
        }
        if (reached) {
            ResultsDatabase::Close(serverName);
        } else {
            outcome.Error = error;
            outcome.Failure = failure;
            outcome.JournalFailed = false;
        }
        if (outcome.JournalFailed)
            KeepJournalError(outcome.Error);
        SetStatus([&](ResultsStore::Status& s) {
            s.ServerError = outcome.JournalFailed ? QString() : outcome.Error;
            s.Failure = outcome.JournalFailed ? ServerFailure::None : outcome.Failure;
            s.Unsent = std::max(0, outcome.Left);
            s.Sent += outcome.Sent;
        });
    }

    void Test(const QString& uri, int budgetMs)
    {
        const QString name = m_name + QStringLiteral("-test");
        QString error;
        if (ResultsDatabase::OpenServer(name, uri, &error, budgetMs))
            ResultsDatabase::Close(name);
        Tell([uri, error](ResultsStore& store) { Q_EMIT store.ServerTested(uri, error); });
    }

    // One try to write waits this long for another process's lock; another follows as long
    // as writes wait (a batch, or a try of their own after kRetryMs).
    static constexpr int kAttemptMs = 1000;
    static constexpr int kRetryMs = 1000;

    ResultsStore& m_store;
    const QString m_name;
    mutable QMutex m_mutex;
    std::vector<Job> m_jobs;
    bool m_scheduled = false;
    QString m_server;
    int m_budgetMs = 5000;
    ResultsStore::Status m_status;
    bool m_journalOpen = false;
    // Writes the journal has not taken yet, in order, and why the last try failed.
    std::vector<Job> m_waiting;
    QString m_waitReason;
    QTimer* m_retry; // a child: it moves to the store's thread with the worker
    QTimer* m_renew; // likewise
    StationNow m_now;
};

ResultsStore::ResultsStore(const QString& journalPath, QObject* parent)
    : ResultsStore(journalPath, ResultsDatabase::Station(), parent)
{}

ResultsStore::ResultsStore(const QString& journalPath, const QString& station, QObject* parent)
    : QObject(parent), m_journalPath(journalPath), m_station(station)
{
    m_thread.setObjectName(QStringLiteral("results"));
    m_home = new WorkReceiver(this);
    m_worker = new StoreWorker(*this);
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

ResultsStore::~ResultsStore()
{
    Flush();
    RunWork(m_worker, [this] { m_worker->Close(); });
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void ResultsStore::SetServer(const QString& uri) { m_worker->SetServer(uri.trimmed()); }
void ResultsStore::SetSendBudget(int ms) { m_worker->SetBudget(ms); }
QString ResultsStore::Server() const { return m_worker->Server(); }

void ResultsStore::BeginRun(const RunRecord& run)
{
    m_worker->Post({StoreWorker::Job::Begin, run, {}, {}});
}

void ResultsStore::AddStep(const QString& uuid, const RowRecord& row)
{
    m_worker->Post({StoreWorker::Job::Step, {}, row, uuid});
}

void ResultsStore::EndRun(const RunRecord& run)
{
    m_worker->Post({StoreWorker::Job::End, run, {}, {}});
}

void ResultsStore::Sync() { m_worker->Post({StoreWorker::Job::Sync, {}, {}, {}}); }

void ResultsStore::TestServer(const QString& uri)
{
    m_worker->Post({StoreWorker::Job::Test, {}, {}, uri.trimmed()});
}

ResultsStore::Status ResultsStore::Flush()
{
    RunWork(m_worker, [this] { m_worker->Settle(kJournalWaitMs); });
    return m_worker->Status();
}

ResultsStore::Status ResultsStore::CurrentStatus() const { return m_worker->Status(); }
