#pragma once

#include "results/results_stats.h"

#include <QEvent>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <memory>

// One table version's figures over a period, as the results window shows them, from the
// station's journal or the line's server: read through the statistics' own queries
// (results_stats.h), the same that tavtest stats and the line's web view use.
namespace StatsReading {

// Where the figures come from.
struct Source {
    QString JournalPath;  // read when Uri is empty
    QString Uri;          // the line's server
    int TimeoutMs = 5000; // the server's connection, and each statement on it, at most
    bool operator==(const Source&) const = default;
};

// A table version that has runs, with a set of limits they were judged by: a limits file's
// version and the model whose limits it gave (each kept apart, as their figures mean nothing
// together), or the table's own.
struct Choice {
    QString TableName;
    QString Version; // empty: runs recorded before versions were kept
    int Runs = 0;
    QString LimitsName, LimitsVersion, LimitsModel; // empty: the table's own limits
};

struct Request {
    bool Choices = false; // the table versions present
    bool Figures = false; // the version's figures over the period
    QString TableName;    // none: no figures, no values
    QString Version;
    QString LimitsVersion, LimitsModel; // empty: the table's own limits
    qint64 SinceMs = 0;
    QString Step; // a step whose measured values are wanted, in run order
};

struct Answer {
    QString Error; // the reason in the program's words; the rest is what was read before it
    QList<Choice> Choices;
    ResultsQuery::Stats Stats;
    ResultsQuery::TableVersionStats Table; // the version's steps (none without ended runs)
    QList<double> Values;                  // the step's
};

// The filter of the request's table version and period.
ResultsQuery::Filter FilterOf(const Request& request);
// On an open connection, at once.
Answer Read(QSqlDatabase& db, const Request& request);

} // namespace StatsReading

// Reads on a thread of its own, which keeps its connection from one request to the next: a
// server that is down or slow never holds up the caller's thread. A request made while another
// is read replaces any still waiting; each answer comes back on the caller's thread, through
// Answered, with the number Ask gave its request.
class StatsReader : public QObject {
    Q_OBJECT

public:
    explicit StatsReader(QObject* parent = nullptr);
    // Never waits for a read under way: the thread ends on its own after it.
    ~StatsReader() override;

    quint64 Ask(const StatsReading::Source& source, const StatsReading::Request& request);

Q_SIGNALS:
    void Answered(quint64 id, const StatsReading::Answer& answer);

protected:
    bool event(QEvent* e) override;

private:
    static QEvent::Type AnswerEvent();
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    quint64 m_lastId = 0;
};
