#include "results/run_tables.h"

#include "results/results_schema.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>

namespace RunTables {

const char* const kRunColumns =
    "uuid, station, operator, program_version, table_path, table_name, table_sha256, reporter, "
    "unit, serial, link, instrument, started_ms, started_text, ended_ms, ended_text, "
    "duration_ms, verdict, reason, table_version, slot, rack_run, instrument_maker, "
    "instrument_model, instrument_serial, instrument_firmware, instrument_options, devices, "
    "limits_name, limits_version, limits_model, calibration";
const int kRunColumnCount = 32;

namespace {

// What the unit was tested with, in the columns' order.
std::array<QString*, 10> TracedFields(RunRecord& r)
{
    return {&r.InstrumentMaker,   &r.InstrumentModel, &r.InstrumentSerial, &r.InstrumentFirmware,
            &r.InstrumentOptions, &r.Devices,         &r.LimitsName,       &r.LimitsVersion,
            &r.LimitsModel,       &r.Calibration};
}

QVariant Number(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Double));
}

std::optional<double> Number(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

// Texts are never NULL: an empty field reads as '' in every query.
QString Text(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

// The columns added later are NULL, as older programs leave them, when there is nothing.
QVariant OrNull(const QString& text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

// A statement the server failed to prepare (a lock it waited for too long) is not run: its
// error is the prepare's, not one of running the text unprepared.
bool Run(QSqlQuery& q, QString* error, bool prepared = true)
{
    if (prepared && q.exec())
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

// A run whose writer no longer exists will never be ended: it goes to the server as it is.
bool WriterGone(qint64 pid)
{
    return pid <= 0 || (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
}

} // namespace

RunRecord RunFromQuery(const QSqlQuery& q)
{
    RunRecord r;
    int i = 0;
    for (QString* text :
         {&r.Uuid, &r.Station, &r.Operator, &r.ProgramVersion, &r.TablePath, &r.TableName,
          &r.TableSha256, &r.Reporter, &r.Unit, &r.Serial, &r.Link, &r.Instrument})
        *text = q.value(i++).toString();
    r.StartedMs = q.value(i++).toLongLong();
    r.StartedText = q.value(i++).toString();
    r.EndedMs = q.value(i++).toLongLong();
    r.EndedText = q.value(i++).toString();
    r.DurationMs = q.value(i++).toLongLong();
    r.Verdict = q.value(i++).toString();
    r.Reason = q.value(i++).toString();
    r.TableVersion = q.value(i++).toString();
    r.Slot = q.value(i++).toString();
    r.RackRun = q.value(i++).toString();
    for (QString* text : TracedFields(r))
        *text = q.value(i++).toString();
    return r;
}

namespace {

const char* const kStepInsert =
    "INSERT INTO steps (run_uuid, ord, step, command, comment, lower_text, lower_number, "
    "upper_text, upper_number, value_text, value_number, mark, shown, elapsed_ms) VALUES ";
const char* const kStepMarks = "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

QVariantList StepValues(const QString& uuid, const RowRecord& s)
{
    return {uuid,
            s.Order,
            Text(s.Step),
            Text(s.Command),
            Text(s.Comment),
            Text(s.LowerText),
            Number(s.Lower),
            Text(s.UpperText),
            Number(s.Upper),
            Text(s.ValueText),
            Number(s.Value),
            Text(s.Mark),
            s.Shown ? 1 : 0,
            s.ElapsedMs};
}

// One statement with "?" marks. The journal binds the values; the server gets them written in
// as its driver quotes them: no statement is left prepared on a connection that may break (the
// driver complains on standard error when it cannot free one), and a run's rows go in one
// round trip.
bool Write(QSqlDatabase& db, const QString& sql, const QVariantList& values, QString* error,
           int* rows = nullptr)
{
    QSqlQuery q(db);
    bool done = false;
    if (ResultsSchema::IsServer(db)) {
        QString text;
        text.reserve(sql.size() + 16 * values.size());
        qsizetype next = 0;
        for (const QChar c : sql) {
            if (c != QLatin1Char('?') || next >= values.size()) {
                text += c;
                continue;
            }
            const QVariant& v = values[next++];
            QSqlField field(QString(), v.metaType());
            field.setValue(v);
            text += db.driver()->formatValue(field);
        }
        done = q.exec(text);
    } else {
        done = q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        done = done && q.exec();
    }
    if (!done) {
        if (error)
            *error = ResultsSchema::ErrorText(db, q.lastError());
        return false;
    }
    if (rows)
        *rows = q.numRowsAffected();
    return true;
}

} // namespace

namespace {

// The run's row as the table keeps it: its columns (the journal's with the writer's pid) and
// their values, in the same order.
QVariantList RunValues(const QSqlDatabase& db, const RunRecord& r, QString* columns)
{
    const bool server = ResultsSchema::IsServer(db);
    QVariantList values;
    for (const QString* text :
         {&r.Uuid, &r.Station, &r.Operator, &r.ProgramVersion, &r.TablePath, &r.TableName,
          &r.TableSha256, &r.Reporter, &r.Unit, &r.Serial, &r.Link, &r.Instrument})
        values << Text(*text);
    values << r.StartedMs << Text(r.StartedText) << r.EndedMs << Text(r.EndedText) << r.DurationMs
           << Text(r.Verdict) << Text(r.Reason) << OrNull(r.TableVersion) << OrNull(r.Slot)
           << OrNull(r.RackRun);
    for (QString* text : TracedFields(const_cast<RunRecord&>(r)))
        values << OrNull(*text);
    if (!server)
        values << r.Pid;
    *columns = QLatin1String(kRunColumns) + (server ? QString() : QStringLiteral(", pid"));
    return values;
}

QString Marks(qsizetype count)
{
    QStringList marks;
    for (qsizetype i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

} // namespace

bool InsertRun(QSqlDatabase& db, const RunRecord& r, QString* error, bool* inserted)
{
    const bool server = ResultsSchema::IsServer(db);
    QString columns;
    const QVariantList values = RunValues(db, r, &columns);
    int rows = 0;
    if (!Write(db,
               QStringLiteral("INSERT INTO runs (%1) VALUES (%2)%3")
                   .arg(columns, Marks(values.size()),
                        server ? QStringLiteral(" ON CONFLICT (uuid) DO NOTHING") : QString()),
               values, error, &rows))
        return false;
    if (inserted)
        *inserted = rows > 0;
    return true;
}

bool InsertStep(QSqlDatabase& db, const QString& uuid, const RowRecord& s, QString* error)
{
    return InsertSteps(db, uuid, {s}, error);
}

bool InsertSteps(QSqlDatabase& db, const QString& uuid, const QList<RowRecord>& steps,
                 QString* error)
{
    const bool server = ResultsSchema::IsServer(db);
    // The journal takes one row a statement (bound); the server many at once.
    const qsizetype chunk = server ? 200 : 1;
    for (qsizetype first = 0; first < steps.size(); first += chunk) {
        QStringList marks;
        QVariantList values;
        for (qsizetype i = first; i < std::min(steps.size(), first + chunk); ++i) {
            marks << QLatin1String(kStepMarks);
            values << StepValues(uuid, steps[i]);
        }
        if (!Write(db,
                   QLatin1String(kStepInsert) + marks.join(QStringLiteral(", ")) +
                       (server ? QStringLiteral(" ON CONFLICT (run_uuid, ord) DO NOTHING")
                               : QString()),
                   values, error))
            return false;
    }
    return true;
}

bool EndRun(QSqlDatabase& db, const RunRecord& r, QString* error)
{
    // The whole record, not an update of the row its start made: a start that never went in
    // (the journal was locked, the row refused) must not leave the end with nothing to update.
    QString columns;
    const QVariantList values = RunValues(db, r, &columns);
    QStringList updates;
    for (const QString& column : columns.split(QStringLiteral(", ")))
        if (column != QLatin1String("uuid"))
            updates << QStringLiteral("%1 = excluded.%1").arg(column);
    int rows = 0;
    const QString sql =
        QStringLiteral("INSERT INTO runs (%1) VALUES (%2) ON CONFLICT (uuid) DO UPDATE SET %3");
    if (!Write(db, sql.arg(columns, Marks(values.size()), updates.join(QStringLiteral(", "))),
               values, error, &rows))
        return false;
    if (rows == 1)
        return true;
    if (error)
        *error = QStringLiteral("%1 rows written instead of 1").arg(rows);
    return false;
}

std::optional<RunRecord> ReadRun(QSqlDatabase& db, const QString& uuid)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT %1 FROM runs WHERE uuid = ?").arg(QLatin1String(kRunColumns)));
    q.addBindValue(uuid);
    if (!q.exec() || !q.next())
        return std::nullopt;
    return RunFromQuery(q);
}

const char* const kStepColumns =
    "s.ord, s.step, s.command, s.comment, s.lower_text, s.lower_number, s.upper_text, "
    "s.upper_number, s.value_text, s.value_number, s.mark, s.shown, s.elapsed_ms";

RowRecord StepFromQuery(const QSqlQuery& q, int first)
{
    RowRecord s;
    s.Order = q.value(first).toInt();
    s.Step = q.value(first + 1).toString();
    s.Command = q.value(first + 2).toString();
    s.Comment = q.value(first + 3).toString();
    s.LowerText = q.value(first + 4).toString();
    s.Lower = Number(q.value(first + 5));
    s.UpperText = q.value(first + 6).toString();
    s.Upper = Number(q.value(first + 7));
    s.ValueText = q.value(first + 8).toString();
    s.Value = Number(q.value(first + 9));
    s.Mark = q.value(first + 10).toString();
    s.Shown = q.value(first + 11).toInt() != 0;
    s.ElapsedMs = q.value(first + 12).toLongLong();
    return s;
}

QList<RowRecord> ReadSteps(QSqlDatabase& db, const QString& uuid, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const bool prepared =
        q.prepare(QStringLiteral("SELECT %1 FROM steps s WHERE s.run_uuid = ? ORDER BY s.ord")
                      .arg(QLatin1String(kStepColumns)));
    q.addBindValue(uuid);
    QList<RowRecord> rows;
    if (!Run(q, error, prepared))
        return rows;
    while (q.next())
        rows.append(StepFromQuery(q));
    return rows;
}

QList<RunRecord> UnsentRuns(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QList<RunRecord> runs;
    if (!q.prepare(QStringLiteral("SELECT %1, pid FROM runs WHERE sent = 0 ORDER BY started_ms")
                       .arg(QLatin1String(kRunColumns))) ||
        !Run(q, error))
        return runs;
    while (q.next()) {
        RunRecord r = RunFromQuery(q);
        r.Pid = q.value(kRunColumnCount).toLongLong();
        if (!r.Verdict.isEmpty() || WriterGone(r.Pid))
            runs.append(r);
    }
    return runs;
}

int UnsentCount(QSqlDatabase& db, QString* error)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT COUNT(*) FROM runs WHERE sent = 0")) && q.next())
        return q.value(0).toInt();
    if (error)
        *error = q.lastError().text();
    return -1;
}

bool MarkSent(QSqlDatabase& db, const QString& uuid, QString* error)
{
    QSqlQuery q(db);
    const bool prepared = q.prepare(QStringLiteral("UPDATE runs SET sent = 1 WHERE uuid = ?"));
    q.addBindValue(uuid);
    return Run(q, error, prepared);
}

} // namespace RunTables
