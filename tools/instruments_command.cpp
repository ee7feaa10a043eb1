#include "tools/instruments_command.h"

#include "results/instrument_list.h"
#include "results/results_database.h"
#include "run/input_rules.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <cstdio>

namespace {

int Fail(const QString& text)
{
    std::fprintf(stderr, "tavtest: %s\n", text.toLocal8Bit().constData());
    return 2;
}

void Print(const QString& text) { std::fputs(text.toLocal8Bit().constData(), stdout); }

struct Request {
    QString Action; // "list", "set", "remove"
    QString Entry;
    QString Db;
    int TimeoutMs = 5000;
    QString Error;
};

Request Parse(const QStringList& a)
{
    Request r;
    r.Action = QStringLiteral("list");
    for (int i = 1; i < a.size() && r.Error.isEmpty(); ++i) {
        const QString& o = a[i];
        const auto value = [&]() -> QString {
            if (i + 1 < a.size())
                return a[++i];
            r.Error = QStringLiteral("%1 needs a value").arg(o);
            return {};
        };
        if (o == QLatin1String("--db")) {
            r.Db = value();
        } else if (o == QLatin1String("--db-timeout")) {
            const QString text = value();
            r.TimeoutMs = ReadTimeout(text).value_or(0);
            if (r.Error.isEmpty() && r.TimeoutMs <= 0)
                r.Error = QStringLiteral("--db-timeout: not a number of seconds above 0: ") + text;
        } else if ((o == QLatin1String("set") || o == QLatin1String("remove") ||
                    o == QLatin1String("list")) &&
                   i == 1) {
            r.Action = o;
            if (o != QLatin1String("list"))
                r.Entry = value();
        } else {
            r.Error = QStringLiteral("instruments %1: unknown option").arg(o);
        }
    }
    return r;
}

// "remove" names an instrument without a date.
std::optional<InstrumentEntry> EntryOf(const Request& r, QString* why)
{
    const QString text =
        r.Action == QLatin1String("remove") ? r.Entry + QStringLiteral(",2000-01-01") : r.Entry;
    const auto entry = InstrumentList::ReadEntry(text, why);
    if (!entry)
        *why = QStringLiteral("instruments %1 %2: %3")
                   .arg(r.Action, r.Entry,
                        r.Action == QLatin1String("remove")
                            ? QStringLiteral("not \"manufacturer,model,serial\"")
                            : *why);
    return entry;
}

void List(const QList<InstrumentEntry>& entries)
{
    const QDate today = QDate::currentDate();
    for (const InstrumentEntry& e : entries) {
        const QString id = QStringLiteral("%1,%2,%3").arg(e.Manufacturer, e.Model, e.Serial);
        Print(QStringLiteral("%1,%2  %3\n")
                  .arg(id, e.Due.toString(Qt::ISODate),
                       CalibrationOf({e}, id + QStringLiteral(",x"), today).Text));
    }
}

int OnServer(const Request& r)
{
    const QString connection = QStringLiteral("tavtest-instruments");
    QString error;
    if (!ResultsDatabase::OpenServer(connection, r.Db, &error, r.TimeoutMs))
        return Fail(error);
    int status = 0;
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        QString why;
        const auto entry =
            r.Action == QLatin1String("list") ? std::optional<InstrumentEntry>() : EntryOf(r, &why);
        if (r.Action != QLatin1String("list") && !entry) {
            status = Fail(why);
        } else if (r.Action == QLatin1String("set")) {
            if (!InstrumentList::SaveServer(db, *entry, &error))
                status = Fail(QStringLiteral("results server: ") + error);
        } else if (r.Action == QLatin1String("remove")) {
            if (!InstrumentList::RemoveServer(db, *entry, &error))
                status = Fail(QStringLiteral("results server: ") + error);
        } else if (const auto entries = InstrumentList::ReadServer(db, &error)) {
            List(*entries);
        } else {
            status = Fail(QStringLiteral("results server: ") + error);
        }
    }
    ResultsDatabase::Close(connection);
    return status;
}

int InFile(const Request& r)
{
    const QString path = InstrumentList::FilePath();
    QString error;
    auto entries = InstrumentList::ReadFile(path, &error);
    if (!entries)
        return Fail(error);
    if (r.Action == QLatin1String("list")) {
        List(*entries);
        return 0;
    }
    const auto entry = EntryOf(r, &error);
    if (!entry)
        return Fail(error);
    const bool keep = r.Action == QLatin1String("set");
    if (!InstrumentList::Put(*entries, *entry, keep) && !keep)
        return Fail(QStringLiteral("instruments remove %1: not in %2").arg(r.Entry, path));
    return InstrumentList::WriteFile(path, *entries, &error) ? 0 : Fail(error);
}

} // namespace

bool IsInstrumentsCommand(const QStringList& arguments)
{
    return arguments.value(0) == QLatin1String("instruments");
}

int RunInstrumentsCommand(int argc, char** argv, const QStringList& arguments)
{
    const Request r = Parse(arguments);
    if (!r.Error.isEmpty())
        return Fail(r.Error);
    QCoreApplication app(argc, argv);
    return r.Db.isEmpty() ? InFile(r) : OnServer(r);
}
