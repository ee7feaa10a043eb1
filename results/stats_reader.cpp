#include "results/stats_reader.h"

#include "results/results_database.h"
#include "results/server_failure.h"

#include "link/cia_events.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QUuid>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace StatsReading {

ResultsQuery::Filter FilterOf(const Request& request)
{
    ResultsQuery::Filter filter;
    filter.TableName = request.TableName;
    filter.Version = request.Version.isEmpty() ? QStringLiteral("unknown") : request.Version;
    filter.SinceMs = request.SinceMs;
    filter.LimitsVersion =
        request.LimitsVersion.isEmpty() ? QStringLiteral("none") : request.LimitsVersion;
    filter.LimitsModel = request.LimitsModel;
    return filter;
}

Answer Read(QSqlDatabase& db, const Request& request)
{
    Answer answer;
    if (request.Choices) {
        // The versions run last first: the one a station runs now heads the list.
        QSqlQuery q(db);
        if (ResultsQuery::Select(
                q,
                QStringLiteral("SELECT r.table_name, r.table_version, COUNT(*), "
                               "MAX(COALESCE(r.limits_name, '')), COALESCE(r.limits_version, "
                               "''), COALESCE(r.limits_model, '') FROM runs r GROUP BY "
                               "r.table_name, r.table_version, 5, 6 ORDER BY "
                               "MAX(r.started_ms) DESC"),
                {}, &answer.Error))
            while (q.next())
                answer.Choices.append({q.value(0).toString(), q.value(1).toString(),
                                       q.value(2).toInt(), q.value(3).toString(),
                                       q.value(4).toString(), q.value(5).toString()});
        if (!answer.Error.isEmpty())
            return answer;
    }
    if (request.TableName.isEmpty())
        return answer;
    const ResultsQuery::Filter filter = FilterOf(request);
    if (request.Figures) {
        answer.Stats = ResultsQuery::ComputeStats(db, filter, &answer.Error);
        for (const auto& table : answer.Stats.Tables)
            if (table.TableName == request.TableName && table.Version == request.Version)
                answer.Table = table;
    }
    if (answer.Error.isEmpty() && !request.Step.isEmpty()) {
        ResultsQuery::TableVersionStats table;
        table.TableName = request.TableName;
        table.Version = request.Version;
        answer.Values = ResultsQuery::StepValues(db, filter, table, {request.Step}, &answer.Error)
                            .value(request.Step);
    }
    return answer;
}

} // namespace StatsReading

using namespace StatsReading;

struct StatsReader::Shared {
    // Plain standard locks, which ThreadSanitizer follows through the wait too.
    std::mutex Mutex;
    std::condition_variable Wake;
    bool Stop = false;
    QList<std::pair<quint64, Answer>> Answers; // read, for the reader's thread to take
    struct Job {
        quint64 Id;
        Source From;
        Request What;
    };
    std::optional<Job> Pending;
    StatsReader* Reader = nullptr; // none once the reader is gone

    void Run();
};

namespace {

// The reason a read failed, as the window says it.
QString ReadError(const Source& source, const QString& error)
{
    if (source.Uri.isEmpty())
        return QStringLiteral("The journal cannot be read: ") + error;
    return QStringLiteral("results server ") +
           ServerFailureText(ClassifyServerError(error), ResultsDatabase::ShownUri(source.Uri),
                             error);
}

// The readers' threads still running. A window closed while its read goes on does not wait
// for it, but the program's end does (the read is bounded by its time-out): a thread still
// closing its connection after the application is gone would find Qt SQL's connections taken
// down under it. Made once and never destroyed, so the threads may count down to the very end.
struct Live {
    std::mutex Mutex;
    std::condition_variable Done;
    int Threads = 0;
    bool WaitAtEnd = false; // the wait is in the application's post routines
};

Live& LiveThreads()
{
    static Live* live = new Live;
    return *live;
}

void WaitForLiveThreads()
{
    Live& live = LiveThreads();
    std::unique_lock lock(live.Mutex);
    live.WaitAtEnd = false;
    live.Done.wait_for(lock, std::chrono::seconds(30), [&] { return live.Threads == 0; });
}

} // namespace

void StatsReader::Shared::Run()
{
    const QString connection =
        QStringLiteral("stats-reader-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::optional<Source> open; // the source the connection reads
    for (;;) {
        Job job;
        {
            std::unique_lock lock(Mutex);
            Wake.wait(lock, [this] { return Stop || Pending.has_value(); });
            if (Stop)
                break;
            job = *std::exchange(Pending, std::nullopt);
        }
        Answer answer;
        if (open && *open != job.From) {
            ResultsDatabase::Close(connection);
            open.reset();
        }
        if (!open) {
            QString error;
            const bool opened = job.From.Uri.isEmpty()
                                    ? ResultsDatabase::OpenJournal(connection, job.From.JournalPath,
                                                                   &error, job.From.TimeoutMs)
                                    : ResultsDatabase::OpenServerToRead(connection, job.From.Uri,
                                                                        &error, job.From.TimeoutMs);
            if (opened)
                open = job.From;
            else
                answer.Error = job.From.Uri.isEmpty()
                                   ? QStringLiteral("The journal cannot be read: ") + error
                                   : QStringLiteral("results server ") + error;
        }
        if (open) {
            {
                QSqlDatabase db = QSqlDatabase::database(connection, false);
                answer = StatsReading::Read(db, job.What);
            }
            if (!answer.Error.isEmpty()) {
                answer.Error = ReadError(job.From, answer.Error);
                // A server that broke off is asked again from a new connection.
                ResultsDatabase::Close(connection);
                open.reset();
            }
        }
        // Kept under the lock and told by a plain event: the reader takes it on its own thread.
        std::lock_guard lock(Mutex);
        if (Reader) {
            Answers.append({job.Id, answer});
            auto* told = new QEvent(AnswerEvent());
            cia_events::HandedOver(told);
            QCoreApplication::postEvent(Reader, told);
        }
    }
    if (open)
        ResultsDatabase::Close(connection);
    Live& live = LiveThreads();
    std::lock_guard lock(live.Mutex);
    --live.Threads;
    live.Done.notify_all();
}

StatsReader::StatsReader(QObject* parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->Reader = this;
    {
        Live& live = LiveThreads();
        std::lock_guard lock(live.Mutex);
        ++live.Threads;
        if (!live.WaitAtEnd && QCoreApplication::instance()) {
            live.WaitAtEnd = true;
            qAddPostRoutine(WaitForLiveThreads);
        }
    }
    std::thread([shared = m_shared] { shared->Run(); }).detach();
}

QEvent::Type StatsReader::AnswerEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool StatsReader::event(QEvent* e)
{
    cia_events::TakenOver(e); // before anything of it is read, its type too
    if (e->type() != AnswerEvent())
        return QObject::event(e);
    QList<std::pair<quint64, Answer>> answers;
    {
        std::lock_guard lock(m_shared->Mutex);
        answers.swap(m_shared->Answers);
    }
    for (const auto& [id, answer] : answers)
        Q_EMIT Answered(id, answer);
    return true;
}

StatsReader::~StatsReader()
{
    std::lock_guard lock(m_shared->Mutex);
    m_shared->Reader = nullptr;
    m_shared->Stop = true;
    m_shared->Wake.notify_all();
}

quint64 StatsReader::Ask(const Source& source, const Request& request)
{
    std::lock_guard lock(m_shared->Mutex);
    m_shared->Pending = Shared::Job{++m_lastId, source, request};
    m_shared->Wake.notify_all();
    return m_lastId;
}
