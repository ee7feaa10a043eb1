#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <optional>

// The station's instruments and the day each one's calibration runs out: a plain file in the
// user's configuration ($XDG_CONFIG_HOME/tavcontrol/instruments, one instrument a line as its
// identification begins, "KELM Electronic GmbH,TAV-1600-PS,0505000120,2027-03-31"), and the
// line's list on the results server for every station. Where both name an instrument, the
// server's entry holds.
struct InstrumentEntry {
    QString Manufacturer, Model, Serial;
    QDate Due; // the last day the calibration holds
    bool Matches(const QString& manufacturer, const QString& model, const QString& serial) const;
};

namespace InstrumentList {

QString FilePath();
// The file's entries; none (with the reason, naming the line) when it cannot be read. A file
// that does not exist is an empty list.
std::optional<QList<InstrumentEntry>> ReadFile(const QString& path, QString* error);
bool WriteFile(const QString& path, const QList<InstrumentEntry>& entries, QString* error);
// One line of the file; none for a line that is not an entry.
std::optional<InstrumentEntry> ReadEntry(const QString& line, QString* why);
QString EntryText(const InstrumentEntry& entry);

// The server's list (the table is made where missing).
std::optional<QList<InstrumentEntry>> ReadServer(QSqlDatabase& db, QString* error);
// Adds the entry, or changes the due day of the one with its manufacturer, model and serial.
bool SaveServer(QSqlDatabase& db, const InstrumentEntry& entry, QString* error);
bool RemoveServer(QSqlDatabase& db, const InstrumentEntry& entry, QString* error);

// The program's setting: a run whose instruments are not shown in calibration is refused
// (otherwise warned of).
bool CalibrationRequired();
void SetCalibrationRequired(bool required);

// The file's entries with the server's over them.
QList<InstrumentEntry> Merged(const QList<InstrumentEntry>& file,
                              const QList<InstrumentEntry>& server);
// Adds or changes (false: removes) the entry in a list; whether it was there.
bool Put(QList<InstrumentEntry>& list, const InstrumentEntry& entry, bool keep = true);

} // namespace InstrumentList

// What a run is told of an instrument's calibration on a day.
struct CalibrationState {
    enum Kind { Unknown, Unlisted, Valid, DueSoon, Past } State = Unknown;
    QDate Due;
    // "calibration due 2027-03-31", "calibration runs out on 2026-12-20 (in 12 days)",
    // "calibration ran out on 2026-11-30", "not in the list of instruments", "unidentified".
    QString Text;
};
// Within this many days of its date an instrument's calibration is noticed.
inline constexpr int kCalibrationNoticeDays = 14;
// The state of the instrument whose identification reply is given (empty: it gave none).
CalibrationState CalibrationOf(const QList<InstrumentEntry>& list, const QString& identification,
                               const QDate& today);
