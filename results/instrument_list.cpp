#include "results/instrument_list.h"

#include "common/program_directory.h"
#include "common/text_file.h"
#include "replies/identification.h"
#include "results/results_schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

namespace {

QString Key(const QString& text) { return text.trimmed().toCaseFolded(); }

const char* const kServerTable =
    "CREATE TABLE IF NOT EXISTS instruments (manufacturer TEXT NOT NULL, model TEXT NOT NULL, "
    "serial TEXT NOT NULL, calibration_due TEXT NOT NULL, "
    "PRIMARY KEY (manufacturer, model, serial))";

bool Exec(QSqlQuery& q, QString* error)
{
    if (q.exec())
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

} // namespace

bool InstrumentEntry::Matches(const QString& manufacturer, const QString& model,
                              const QString& serial) const
{
    return Key(Manufacturer) == Key(manufacturer) && Key(Model) == Key(model) &&
           Key(Serial) == Key(serial);
}

namespace InstrumentList {

QString FilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/tavcontrol/instruments");
}

std::optional<InstrumentEntry> ReadEntry(const QString& line, QString* why)
{
    const QStringList fields = line.split(QLatin1Char(','));
    if (fields.size() != 4) {
        *why = QStringLiteral("not \"manufacturer,model,serial,YYYY-MM-DD\"");
        return std::nullopt;
    }
    InstrumentEntry e{fields[0].trimmed(), fields[1].trimmed(), fields[2].trimmed(),
                      QDate::fromString(fields[3].trimmed(), Qt::ISODate)};
    if (e.Manufacturer.isEmpty() || e.Model.isEmpty() || e.Serial.isEmpty()) {
        *why = QStringLiteral("manufacturer, model and serial number are all needed");
        return std::nullopt;
    }
    if (!e.Due.isValid()) {
        *why = QStringLiteral("%1: not a date (YYYY-MM-DD)").arg(fields[3].trimmed());
        return std::nullopt;
    }
    return e;
}

QString EntryText(const InstrumentEntry& e)
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(e.Manufacturer, e.Model, e.Serial, e.Due.toString(Qt::ISODate));
}

std::optional<QList<InstrumentEntry>> ReadFile(const QString& path, QString* error)
{
    QList<InstrumentEntry> entries;
    if (!QFile::exists(path))
        return entries;
    QString why;
    const auto lines = ReadTextLines(path, &why);
    if (!lines) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    }
    for (qsizetype n = 0; n < lines->size(); ++n) {
        const QString line = lines->at(n).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto entry = ReadEntry(line, &why);
        if (!entry) {
            *error = QStringLiteral("%1 line %2: %3").arg(path).arg(n + 1).arg(why);
            return std::nullopt;
        }
        Put(entries, *entry);
    }
    return entries;
}

bool WriteFile(const QString& path, const QList<InstrumentEntry>& entries, QString* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile f(path);
    QByteArray text = "# manufacturer,model,serial,last day of calibration\n";
    for (const InstrumentEntry& e : entries)
        text += EntryText(e).toUtf8() + '\n';
    if (f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.commit())
        return true;
    *error = QStringLiteral("%1: %2").arg(path, f.errorString());
    return false;
}

std::optional<QList<InstrumentEntry>> ReadServer(QSqlDatabase& db, QString* error)
{
    QList<InstrumentEntry> entries;
    // A line that never kept a list has no table for it (and a viewer's role may not make one).
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT to_regclass('instruments') IS NOT NULL")) || !q.next()) {
        *error = ResultsSchema::ErrorText(db, q.lastError());
        return std::nullopt;
    }
    if (!q.value(0).toBool())
        return entries;
    if (!q.exec(QStringLiteral("SELECT manufacturer, model, serial, calibration_due FROM "
                               "instruments ORDER BY manufacturer, model, serial"))) {
        *error = ResultsSchema::ErrorText(db, q.lastError());
        return std::nullopt;
    }
    while (q.next())
        entries.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                        QDate::fromString(q.value(3).toString(), Qt::ISODate)});
    return entries;
}

bool SaveServer(QSqlDatabase& db, const InstrumentEntry& e, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QLatin1String(kServerTable)))
        return Exec(q, error);
    q.prepare(QStringLiteral("INSERT INTO instruments VALUES (?, ?, ?, ?) ON CONFLICT "
                             "(manufacturer, model, serial) DO UPDATE SET calibration_due = "
                             "excluded.calibration_due"));
    for (const QString& v : {e.Manufacturer, e.Model, e.Serial, e.Due.toString(Qt::ISODate)})
        q.addBindValue(v);
    return Exec(q, error);
}

bool RemoveServer(QSqlDatabase& db, const InstrumentEntry& e, QString* error)
{
    QSqlQuery q(db);
    if (!q.exec(QLatin1String(kServerTable)))
        return Exec(q, error);
    q.prepare(QStringLiteral("DELETE FROM instruments WHERE lower(manufacturer) = lower(?) AND "
                             "lower(model) = lower(?) AND lower(serial) = lower(?)"));
    for (const QString& v : {e.Manufacturer, e.Model, e.Serial})
        q.addBindValue(v);
    return Exec(q, error);
}

bool CalibrationRequired()
{
    return ProgramSettings().value(QStringLiteral("Calibration/Required"), false).toBool();
}

void SetCalibrationRequired(bool required)
{
    ProgramSettings().setValue(QStringLiteral("Calibration/Required"), required);
}

QList<InstrumentEntry> Merged(const QList<InstrumentEntry>& file,
                              const QList<InstrumentEntry>& server)
{
    QList<InstrumentEntry> merged = file;
    for (const InstrumentEntry& e : server)
        Put(merged, e);
    return merged;
}

bool Put(QList<InstrumentEntry>& list, const InstrumentEntry& entry, bool keep)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (!list[i].Matches(entry.Manufacturer, entry.Model, entry.Serial))
            continue;
        if (keep)
            list[i] = entry;
        else
            list.removeAt(i);
        return true;
    }
    if (keep)
        list.append(entry);
    return false;
}

} // namespace InstrumentList

CalibrationState CalibrationOf(const QList<InstrumentEntry>& list, const QString& identification,
                               const QDate& today)
{
    CalibrationState s;
    if (identification.isEmpty()) {
        s.Text = QStringLiteral("unidentified");
        return s;
    }
    const IdentificationReading id = ReadIdentification(identification);
    for (const InstrumentEntry& e : list) {
        if (!e.Matches(id.Manufacturer, id.Model, id.SerialNumber))
            continue;
        s.Due = e.Due;
        const qint64 days = today.daysTo(e.Due);
        const QString due = e.Due.toString(Qt::ISODate);
        const QString when = days == 0   ? QStringLiteral("today")
                             : days == 1 ? QStringLiteral("in 1 day")
                                         : QStringLiteral("in %1 days").arg(days);
        if (days < 0) {
            s.State = CalibrationState::Past;
            s.Text = QStringLiteral("calibration ran out on %1").arg(due);
        } else if (days <= kCalibrationNoticeDays) {
            s.State = CalibrationState::DueSoon;
            s.Text = QStringLiteral("calibration runs out on %1 (%2)").arg(due, when);
        } else {
            s.State = CalibrationState::Valid;
            s.Text = QStringLiteral("calibration due %1").arg(due);
        }
        return s;
    }
    s.State = CalibrationState::Unlisted;
    s.Text = QStringLiteral("not in the list of instruments");
    return s;
}
