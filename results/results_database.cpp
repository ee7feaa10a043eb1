#include "results/results_database.h"

#include "results/results_schema.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <pwd.h>
#include <unistd.h>

namespace ResultsDatabase {

namespace {

bool Failed(const QString& connection, const QString& text, QString* error)
{
    if (error)
        *error = text;
    Close(connection);
    return false;
}

} // namespace

QString Station()
{
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

QString OperatorName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString JournalPath()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QStringLiteral("%1/tavcontrol/journal-%2.sqlite").arg(base, Station());
}

bool OpenJournal(const QString& connection, const QString& path, QString* error)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return Failed(connection, QStringLiteral("%1: the folder cannot be made").arg(path), error);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    // Several processes of one station write the same journal; each waits its turn.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=60000"));
    if (!db.open())
        return Failed(connection, QStringLiteral("%1: %2").arg(path, db.lastError().text()), error);
    QString e;
    // WAL: readers never block the writer; FULL: a committed row is on the disk, so a run
    // survives a power cut as well as a crash of the program.
    if (!ResultsSchema::Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), &e) ||
        !ResultsSchema::Exec(db, QStringLiteral("PRAGMA synchronous=FULL"), &e) ||
        !ResultsSchema::Ensure(db, &e))
        return Failed(connection, QStringLiteral("%1: %2").arg(path, e), error);
    return true;
}

bool CheckUri(const QString& uri, QString* error)
{
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("postgresql") &&
                           url.scheme() != QLatin1String("postgres"))) {
        if (error)
            *error = QStringLiteral("%1: not a PostgreSQL URI (postgresql://user@host/database)")
                         .arg(ShownUri(uri));
        return false;
    }
    return true;
}

QString ShownUri(const QString& uri)
{
    QUrl url(uri);
    if (!url.password().isEmpty())
        url.setPassword(QStringLiteral("***"));
    QUrlQuery query(url);
    if (query.hasQueryItem(QStringLiteral("password"))) {
        query.removeAllQueryItems(QStringLiteral("password"));
        query.addQueryItem(QStringLiteral("password"), QStringLiteral("***"));
        url.setQuery(query);
    }
    return url.isValid() ? url.toString() : uri;
}

bool OpenServer(const QString& connection, const QString& uri, QString* error)
{
    if (!CheckUri(uri, error))
        return false;
    const QUrl url(uri);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    if (!db.isValid())
        return Failed(connection, QStringLiteral("the PostgreSQL driver of Qt SQL is not "
                                                 "installed (libqt6sql6-psql)"),
                      error);
    db.setHostName(url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setDatabaseName(url.path().mid(1));
    QStringList options;
    bool timeoutGiven = false;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host"))
            db.setHostName(value);
        else if (key == QLatin1String("port"))
            db.setPort(value.toInt());
        else if (key == QLatin1String("user"))
            db.setUserName(value);
        else if (key == QLatin1String("password"))
            db.setPassword(value);
        else if (key == QLatin1String("dbname"))
            db.setDatabaseName(value);
        else
            options << QStringLiteral("%1=%2").arg(key, value);
        timeoutGiven = timeoutGiven || key == QLatin1String("connect_timeout");
    }
    // A line whose server is gone must not hold a run's record for long.
    if (!timeoutGiven)
        options << QStringLiteral("connect_timeout=5");
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open())
        return Failed(connection,
                      QStringLiteral("%1: %2").arg(ShownUri(uri), db.lastError().text().trimmed()),
                      error);
    QString e;
    if (!ResultsSchema::Ensure(db, &e))
        return Failed(connection, QStringLiteral("%1: %2").arg(ShownUri(uri), e), error);
    return true;
}

void Close(const QString& connection)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

} // namespace ResultsDatabase
