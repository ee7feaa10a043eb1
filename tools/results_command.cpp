#include "tools/results_command.h"

#include "run/input_rules.h"

#include "results/results_database.h"
#include "results/results_query.h"
#include "results/results_stats.h"
#include "results/results_store.h"
#include "results/run_tables.h"
#include "results/server_failure.h"
#include "results/server_sync.h"
#include "results/stats_plot.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <cstdio>
#include <memory>

namespace {

struct Request {
    QString Command;
    QString Serial;
    QString Db;
    QString Station; // whose journal; with --db, whose runs
    bool StationGiven = false;
    int TimeoutMs = 5000;
    QString PlotDir;
    bool Csv = false;
    bool Json = false;
    bool ByModel = false;
    ResultsQuery::Filter Filter;
    QString Error;
};

void Print(const QString& text) { std::fputs(text.toLocal8Bit().constData(), stdout); }
int Fail(const QString& text)
{
    std::fprintf(stderr, "tavtest: %s\n", text.toLocal8Bit().constData());
    return 2;
}

// "2026-11-01" (from local midnight) or a full ISO date and time.
qint64 ReadSince(const QString& text)
{
    if (const QDate day = QDate::fromString(text, Qt::ISODate); day.isValid())
        return day.startOfDay().toMSecsSinceEpoch();
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    return time.isValid() ? time.toMSecsSinceEpoch() : -1;
}

Request Parse(const QStringList& a)
{
    Request r;
    r.Command = a.value(0);
    for (int i = 1; i < a.size() && r.Error.isEmpty(); ++i) {
        const QString& o = a[i];
        auto value = [&]() -> QString {
            if (i + 1 >= a.size()) {
                r.Error = QStringLiteral("%1 needs a value").arg(o);
                return {};
            }
            return a[++i];
        };
        if (o == QLatin1String("--db"))
            r.Db = value();
        else if (o == QLatin1String("--station")) {
            r.Station = value();
            r.StationGiven = true;
            if (r.Error.isEmpty())
                ResultsDatabase::CheckStation(r.Station, &r.Error);
        } else if (o == QLatin1String("--db-timeout") && r.Command == QLatin1String("sync")) {
            const QString text = value();
            // Read as the run reads it: a value the run takes means the same here.
            const std::optional<int> ms = ReadTimeout(text);
            r.TimeoutMs = ms.value_or(0);
            if (r.Error.isEmpty() && r.TimeoutMs <= 0)
                r.Error = QStringLiteral("--db-timeout: not a number of seconds above 0: ") + text;
        } else if (o == QLatin1String("--table") && r.Command == QLatin1String("stats"))
            r.Filter.TableName = QFileInfo(value()).fileName();
        else if (o == QLatin1String("--unit") && r.Command == QLatin1String("stats"))
            r.Filter.Unit = value();
        else if (o == QLatin1String("--version") && r.Command == QLatin1String("stats")) {
            r.Filter.Version = value().toLower();
            static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{1,64}$"));
            if (r.Error.isEmpty() && r.Filter.Version != QLatin1String("unknown") &&
                !hex.match(r.Filter.Version).hasMatch())
                r.Error = QStringLiteral("--version %1: not the start of a table version "
                                         "(hexadecimal digits, or \"unknown\")")
                              .arg(r.Filter.Version);
        } else if (o == QLatin1String("--instrument") && r.Command == QLatin1String("history")) {
            r.Filter.InstrumentSerial = value();
        } else if (o == QLatin1String("--by-model") && r.Command == QLatin1String("stats")) {
            r.ByModel = true;
        } else if (o == QLatin1String("--since") && r.Command != QLatin1String("sync")) {
            const QString text = value();
            r.Filter.SinceMs = ReadSince(text);
            if (r.Filter.SinceMs < 0)
                r.Error = QStringLiteral("--since %1: not a date (YYYY-MM-DD)").arg(text);
        } else if (o == QLatin1String("--plots") && r.Command == QLatin1String("stats"))
            r.PlotDir = value();
        else if (o == QLatin1String("--csv") && r.Command == QLatin1String("stats"))
            r.Csv = true;
        else if (o == QLatin1String("--json") && r.Command != QLatin1String("sync"))
            r.Json = true;
        else if (r.Command == QLatin1String("history") && r.Serial.isEmpty() &&
                 !o.startsWith(QLatin1String("--")))
            r.Serial = o;
        else
            r.Error = QStringLiteral("%1 %2: unknown option").arg(r.Command, o);
    }
    const bool byInstrument = !r.Filter.InstrumentSerial.isEmpty();
    if (r.Error.isEmpty() && r.Command == QLatin1String("history") &&
        r.Serial.isEmpty() == !byInstrument)
        r.Error = byInstrument ? QStringLiteral("history: a unit's serial number or "
                                                "--instrument, not both")
                               : QStringLiteral("history needs a serial number (or --instrument "
                                                "SERIAL)");
    if (r.Error.isEmpty() && r.Command == QLatin1String("history") && r.Filter.SinceMs > 0 &&
        !byInstrument)
        r.Error = QStringLiteral("history: --since goes with --instrument");
    // A station's timer syncs with the server its program was set up with.
    if (r.Error.isEmpty() && r.Command == QLatin1String("sync") && r.Db.isEmpty())
        r.Db = ResultsDatabase::SavedServer();
    if (r.Error.isEmpty() && r.Command == QLatin1String("sync") && r.Db.isEmpty())
        r.Error = QStringLiteral("sync needs the server: --db URI, or one set in \"Setup\" > "
                                 "\"Results…\"");
    if (r.Csv && r.Json)
        r.Error = QStringLiteral("stats: --csv or --json, not both");
    return r;
}

QString Number(const std::optional<double>& v, int decimals = 4)
{
    return v ? QString::number(*v, 'f', decimals) : QString();
}

// A reading that failed is an error, never "nothing found": the reason in the program's words.
int ReadFailed(const Request& r, const QString& error)
{
    if (!r.Db.isEmpty() && r.Command != QLatin1String("sync"))
        return Fail(QStringLiteral("results server %1")
                        .arg(ServerFailureText(ClassifyServerError(error),
                                               ResultsDatabase::ShownUri(r.Db), error)));
    return Fail(QStringLiteral("results journal %1 cannot be read: %2")
                    .arg(ResultsDatabase::JournalPath(r.Station), error));
}

using ResultsQuery::FigureJson;

QJsonValue JsonVersion(const QString& version)
{
    return version.isEmpty() ? QJsonValue() : QJsonValue(version);
}

// What the unit was tested with, as history shows it.
QString TestedText(const RunRecord& run)
{
    QStringList parts;
    if (!run.InstrumentModel.isEmpty() || !run.InstrumentSerial.isEmpty())
        parts << QStringLiteral("instrument %1 %2").arg(run.InstrumentModel, run.InstrumentSerial);
    else if (run.Instrument == QLatin1String("unidentified"))
        parts << QStringLiteral("instrument unidentified");
    if (!run.LimitsName.isEmpty())
        parts << QStringLiteral("limits %1 %2 (%3)")
                     .arg(run.LimitsName, run.LimitsVersion.left(12), run.LimitsModel);
    if (!run.Calibration.isEmpty())
        parts << run.Calibration;
    if (!run.Devices.isEmpty())
        parts << run.Devices;
    return parts.join(QStringLiteral("; "));
}

QJsonObject RunJson(const ResultsQuery::HistoryEntry& e)
{
    const RunRecord& r = e.Run;
    QJsonArray failed;
    for (const RowRecord& s : e.FailedSteps)
        failed.append(QJsonObject{{"step", s.Step},
                                  {"command", s.Command},
                                  {"comment", s.Comment},
                                  {"value", s.ValueText},
                                  {"lower", s.LowerText},
                                  {"upper", s.UpperText},
                                  {"mark", s.Mark}});
    return {{"uuid", r.Uuid},
            {"started", r.StartedText},
            {"verdict", VerdictText(r.Verdict)},
            {"reason", r.Reason},
            {"station", r.Station},
            {"operator", r.Operator},
            {"table", r.TableName},
            {"version", JsonVersion(r.TableVersion)},
            {"unit", r.Unit},
            {"serial", r.Serial},
            {"link", r.Link},
            {"slot", r.Slot},
            {"instrument", QJsonObject{{"identification", r.Instrument},
                                       {"manufacturer", r.InstrumentMaker},
                                       {"model", r.InstrumentModel},
                                       {"serial", r.InstrumentSerial},
                                       {"firmware", r.InstrumentFirmware},
                                       {"options", r.InstrumentOptions}}},
            {"devices", r.Devices},
            {"limits", QJsonObject{{"name", r.LimitsName},
                                   {"version", JsonVersion(r.LimitsVersion)},
                                   {"model", r.LimitsModel}}},
            {"calibration", r.Calibration},
            {"failed_steps", failed}};
}

int History(QSqlDatabase& db, const Request& r)
{
    ResultsQuery::Filter filter;
    filter.Serial = r.Serial;
    filter.InstrumentSerial = r.Filter.InstrumentSerial;
    filter.SinceMs = r.Filter.SinceMs;
    filter.Station = r.Db.isEmpty() || !r.StationGiven ? QString() : r.Station;
    QString error;
    const QList<ResultsQuery::HistoryEntry> entries = ResultsQuery::History(db, filter, &error);
    if (!error.isEmpty())
        return ReadFailed(r, error);
    if (entries.isEmpty()) {
        std::fprintf(
            stderr, "tavtest: no runs of %s %s\n", r.Serial.isEmpty() ? "instrument" : "serial",
            (r.Serial.isEmpty() ? filter.InstrumentSerial : r.Serial).toLocal8Bit().constData());
        return 1;
    }
    if (r.Json) {
        QJsonArray runs;
        for (const auto& e : entries)
            runs.append(RunJson(e));
        Print(QString::fromUtf8(QJsonDocument(runs).toJson(QJsonDocument::Indented)));
        return 0;
    }
    for (const auto& e : entries) {
        const RunRecord& run = e.Run;
        // A rack's run names its slot (and, at the end, the rack run it shared).
        const QString slot =
            run.Slot.isEmpty() ? QString() : QStringLiteral("  slot %1").arg(run.Slot);
        const QString rack =
            run.RackRun.isEmpty() ? QString() : QStringLiteral("  rack %1").arg(run.RackRun);
        // An instrument's history names the unit each run tested.
        const QString unit =
            r.Serial.isEmpty() ? QStringLiteral("  serial %1").arg(run.Serial) : QString();
        Print(QStringLiteral("%1  %2  %3  %4  %5  %6  %7%8  %9%10%11\n")
                  .arg(run.StartedText, VerdictText(run.Verdict).leftJustified(10), run.Station,
                       run.TableName, ShortVersion(run.TableVersion), run.Unit, run.Link, slot,
                       run.Uuid, rack, unit));
        if (const QString tested = TestedText(run); !tested.isEmpty())
            Print(QStringLiteral("    %1\n").arg(tested));
        if (!run.Reason.isEmpty())
            Print(QStringLiteral("    %1\n").arg(run.Reason));
        for (const RowRecord& s : e.FailedSteps)
            Print(QStringLiteral("    step %1  %2  %3  %4 [%5 .. %6]  %7\n")
                      .arg(s.Step, s.Command, s.Comment, s.ValueText, s.LowerText, s.UpperText,
                           s.Mark));
    }
    return 0;
}

QJsonObject StatsJson(const ResultsQuery::Stats& stats)
{
    QJsonArray tables;
    QJsonArray steps;
    for (const auto& t : stats.Tables) {
        tables.append(QJsonObject{
            {"table", t.TableName}, {"version", JsonVersion(t.Version)}, {"runs", t.Runs}});
        for (const auto& s : t.Steps)
            steps.append(ResultsQuery::StepStatsJson(s));
    }
    QJsonObject notEndedBy;
    for (auto it = stats.NotEndedBy.begin(); it != stats.NotEndedBy.end(); ++it)
        notEndedBy.insert(it.key(), it.value());
    const QJsonObject o{{"runs", stats.Runs},
                        {"not_ended", stats.NotEnded},
                        {"not_ended_by", notEndedBy},
                        {"units", stats.Units},
                        {"first_pass_units", stats.FirstPassUnits},
                        {"first_pass_yield", FigureJson(stats.FirstPassYield())},
                        {"final_pass_units", stats.FinalPassUnits},
                        {"final_yield", FigureJson(stats.FinalYield())},
                        {"tables", tables},
                        {"steps", steps}};
    return o;
}

// Grouped by limits or model, every line ends in its group's model and limits version.
void PrintCsv(const ResultsQuery::Stats& stats, const ResultsQuery::StatsGroup* group = nullptr,
              bool caption = true)
{
    if (caption)
        Print(QStringLiteral("step,command,comment,count,failures,mean,stddev,min,max,lower,"
                             "upper,cpk,table,version%1\n")
                  .arg(group ? QStringLiteral(",model,limits_version,limits_model") : QString()));
    const QString tail = group ? QStringLiteral(",\"%1\",%2,\"%3\"")
                                     .arg(group->Model, group->LimitsVersion, group->LimitsModel)
                               : QString();
    auto quoted = [](QString t) {
        return QLatin1Char('"') + t.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
               QLatin1Char('"');
    };
    auto full = [](const std::optional<double>& v) {
        return v ? QString::number(*v, 'g', 10) : QString();
    };
    for (const auto& t : stats.Tables)
        for (const auto& s : t.Steps)
            Print(QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9,%10,%11,%12,%13,%14%15\n")
                      .arg(s.Step, quoted(s.Command), quoted(s.Comment))
                      .arg(s.Count)
                      .arg(s.Failures)
                      .arg(full(s.Mean), full(s.StdDev), full(s.Min), full(s.Max), Number(s.Lower),
                           Number(s.Upper), Number(s.Cpk, 3), quoted(s.TableName), s.Version)
                      .arg(tail));
}

void PrintText(const ResultsQuery::Stats& stats)
{
    auto percent = [](const std::optional<double>& yield) {
        return yield ? QStringLiteral("%1 %").arg(*yield, 0, 'f', 1) : QStringLiteral("-");
    };
    Print(QStringLiteral("runs %1, units %2, first-pass yield %3 (%4 of %2), final yield %5 (%6 "
                         "of %2)\n")
              .arg(stats.Runs)
              .arg(stats.Units)
              .arg(percent(stats.FirstPassYield()))
              .arg(stats.FirstPassUnits)
              .arg(percent(stats.FinalYield()))
              .arg(stats.FinalPassUnits));
    QStringList why;
    for (auto it = stats.NotEndedBy.begin(); it != stats.NotEndedBy.end(); ++it)
        why << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    Print(stats.NotEnded == 0
              ? QStringLiteral("not ended: 0\n")
              : QStringLiteral("not ended: %1 (%2), left out of the yield and the steps\n")
                    .arg(stats.NotEnded)
                    .arg(why.join(QStringLiteral(", "))));
    QString named;
    for (const auto& t : stats.Tables) {
        if (t.TableName == named)
            continue;
        named = t.TableName;
        if (const int versions = stats.VersionCount(named); versions > 1)
            Print(QStringLiteral("%1: %2 versions\n").arg(named).arg(versions));
    }
    auto figure = [](const std::optional<double>& v, int width, int decimals) {
        return (v ? QString::number(*v, 'f', decimals) : QString()).rightJustified(width);
    };
    for (const auto& t : stats.Tables) {
        Print(QStringLiteral("\n%1  version %2  runs %3\n")
                  .arg(t.TableName, ShortVersion(t.Version))
                  .arg(t.Runs));
        Print(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10  %11\n")
                  .arg(QStringLiteral("step"), 5)
                  .arg(QStringLiteral("count"), 7)
                  .arg(QStringLiteral("fail"), 6)
                  .arg(QStringLiteral("mean"), 12)
                  .arg(QStringLiteral("sd"), 10)
                  .arg(QStringLiteral("min"), 12)
                  .arg(QStringLiteral("max"), 12)
                  .arg(QStringLiteral("lower"), 10)
                  .arg(QStringLiteral("upper"), 10)
                  .arg(QStringLiteral("Cpk"), 7)
                  .arg(QStringLiteral("command")));
        for (const auto& s : t.Steps)
            Print(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10  %11\n")
                      .arg(s.Step, 5)
                      .arg(s.Count, 7)
                      .arg(s.Failures, 6)
                      .arg(figure(s.Mean, 12, 4), figure(s.StdDev, 10, 4), figure(s.Min, 12, 4),
                           figure(s.Max, 12, 4), figure(s.Lower, 10, 3), figure(s.Upper, 10, 3),
                           figure(s.Cpk, 7, 2), s.Command));
    }
}

// A histogram per step; with several tables or versions, a folder for each.
int WritePlots(QSqlDatabase& db, const Request& r, const ResultsQuery::Stats& stats,
               const QString& plotDir)
{
    for (const auto& t : stats.Tables) {
        QString error;
        const auto values = ResultsQuery::StepValues(db, r.Filter, t, {}, &error);
        if (!error.isEmpty())
            return ReadFailed(r, error);
        const QString folder = stats.Tables.size() == 1
                                   ? plotDir
                                   : QDir(plotDir).filePath(QStringLiteral("%1-%2").arg(
                                         t.TableName, ShortVersion(t.Version)));
        if (!QDir().mkpath(folder))
            return Fail(QStringLiteral("%1: the folder cannot be made").arg(folder));
        for (const auto& s : t.Steps) {
            QString error;
            if (!WriteStepHistogram(folder, s, values.value(s.Step), &error))
                return Fail(error);
        }
    }
    return 0;
}

// "model TAV-1600-PS, limits burn-in.lim 1a2b3c4d5e6f for TAV-1600-PS" ("table limits" for the
// table's own).
QString GroupTitle(const ResultsQuery::StatsGroup& g, bool byModel)
{
    const QString limits = g.LimitsVersion.isEmpty()
                               ? QStringLiteral("table limits")
                               : QStringLiteral("limits %1 %2 for %3")
                                     .arg(g.LimitsName, g.LimitsVersion.left(12), g.LimitsModel);
    return byModel ? QStringLiteral("model %1, %2")
                         .arg(g.Model.isEmpty() ? QStringLiteral("unknown") : g.Model, limits)
                   : limits;
}

// The figures of one set of runs; runs judged by other limits (a limits file's other version,
// another model's limits) are kept apart, as table versions are.
int Stats(QSqlDatabase& db, const Request& r)
{
    ResultsQuery::Filter filter = r.Filter;
    filter.Station = r.StationGiven ? r.Station : QString();
    QString error;
    // All the runs first: their one set of limits (the usual case) needs nothing more.
    const ResultsQuery::Stats all = ResultsQuery::ComputeStats(db, filter, &error);
    if (!error.isEmpty())
        return ReadFailed(r, error);
    QList<ResultsQuery::StatsGroup> groups = ResultsQuery::GroupsOf(all, r.ByModel);
    const bool grouped = r.ByModel || groups.size() > 1;
    if (!grouped)
        groups = {{}};
    QJsonArray json;
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const ResultsQuery::StatsGroup& g = groups[i];
        Request part = r;
        part.Filter = filter;
        if (grouped) {
            part.Filter.LimitsVersion =
                g.LimitsVersion.isEmpty() ? QStringLiteral("none") : g.LimitsVersion;
            part.Filter.LimitsModel = g.LimitsModel;
            if (r.ByModel)
                part.Filter.Model = g.Model.isEmpty() ? QStringLiteral("unknown") : g.Model;
        }
        const ResultsQuery::Stats stats =
            grouped ? ResultsQuery::ComputeStats(db, part.Filter, &error) : all;
        if (!error.isEmpty())
            return ReadFailed(r, error);
        if (r.Json) {
            QJsonObject o = StatsJson(stats);
            if (grouped) {
                o.insert("model", r.ByModel ? QJsonValue(g.Model) : QJsonValue());
                o.insert("limits", g.LimitsName);
                o.insert("limits_version", JsonVersion(g.LimitsVersion));
                o.insert("limits_model", g.LimitsModel);
            }
            json.append(o);
        } else if (r.Csv) {
            PrintCsv(stats, grouped ? &g : nullptr, i == 0);
        } else {
            if (grouped)
                Print(QStringLiteral("%1== %2 ==\n")
                          .arg(i ? QStringLiteral("\n") : QString(), GroupTitle(g, r.ByModel)));
            PrintText(stats);
        }
        const QString plots =
            !grouped ? r.PlotDir
                     : QDir(r.PlotDir).filePath(GroupTitle(g, r.ByModel)
                                                    .replace(QRegularExpression("[^A-Za-z0-9.-]+"),
                                                             QStringLiteral("-")));
        if (!r.PlotDir.isEmpty())
            if (const int status = WritePlots(db, part, stats, plots); status != 0)
                return status;
    }
    if (r.Json)
        Print(QString::fromUtf8(
            QJsonDocument(grouped ? QJsonDocument(json) : QJsonDocument(json.first().toObject()))
                .toJson(QJsonDocument::Indented)));
    return 0;
}

// Everything unsent, each run within the time-out, however many there are: the station's
// journal's and those its former names left in the same folder.
int Sync(QSqlDatabase& journal, const Request& r)
{
    QString error;
    const QString name = QStringLiteral("tavtest-server");
    const QString journalPath = ResultsDatabase::JournalPath(r.Station);
    const QString shownUri = ResultsDatabase::ShownUri(r.Db);
    const SyncLimits limits{r.TimeoutMs, QDeadlineTimer(QDeadlineTimer::Forever)};
    if (!ResultsDatabase::OpenServer(name, r.Db, &error, r.TimeoutMs)) {
        const int left =
            std::max(0, SyncJournals(journal, journalPath, nullptr, shownUri, limits).Left);
        return Fail(QStringLiteral("results server %1; %2 %3 in the journal")
                        .arg(error)
                        .arg(left)
                        .arg(left == 1 ? "run stays" : "runs stay"));
    }
    SyncOutcome outcome;
    {
        QSqlDatabase server = QSqlDatabase::database(name, false);
        outcome = SyncJournals(journal, journalPath, &server, shownUri, limits);
    }
    ResultsDatabase::Close(name);
    std::fprintf(stderr, "tavtest: %d run%s sent, %d left unsent\n", outcome.Sent,
                 outcome.Sent == 1 ? "" : "s", std::max(0, outcome.Left));
    if (!outcome.Error.isEmpty())
        return Fail(outcome.JournalFailed ? outcome.Error
                                          : QStringLiteral("results server ") + outcome.Error);
    return outcome.Left == 0 ? 0 : 2;
}

} // namespace

bool IsResultsCommand(const QStringList& arguments)
{
    const QString first = arguments.value(0);
    return first == QLatin1String("history") || first == QLatin1String("stats") ||
           first == QLatin1String("sync");
}

int RunResultsCommand(int argc, char** argv, const QStringList& arguments)
{
    Request r = Parse(arguments);
    if (!r.Error.isEmpty())
        return Fail(r.Error);
    if (ResultsDatabase::UriHasPassword(r.Db))
        std::fputs("tavtest: warning: --db: the password in the URI can be read by anyone on "
                   "this machine (ps); put it into ~/.pgpass or PGPASSWORD\n",
                   stderr);
    // Fonts and paint devices only for the plots; the offscreen platform needs no display.
    std::unique_ptr<QCoreApplication> app;
    if (!r.PlotDir.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    // Without --station: this station's journal, and the runs of every station.
    if (!r.StationGiven)
        r.Station = ResultsDatabase::Station();
    const QString journalName = QStringLiteral("tavtest-journal");
    QString error;
    int status = 2;
    const bool fromServer = !r.Db.isEmpty() && r.Command != QLatin1String("sync");
    const bool opened =
        fromServer ? ResultsDatabase::OpenServer(journalName, r.Db, &error)
                   : ResultsDatabase::OpenJournal(journalName,
                                                  ResultsDatabase::JournalPath(r.Station), &error);
    if (!opened)
        return Fail(error);
    {
        QSqlDatabase db = QSqlDatabase::database(journalName, false);
        if (r.Command == QLatin1String("history"))
            status = History(db, r);
        else if (r.Command == QLatin1String("stats"))
            status = Stats(db, r);
        else
            status = Sync(db, r);
    }
    ResultsDatabase::Close(journalName);
    return status;
}
