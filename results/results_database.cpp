#include "results/results_database.h"

#include "common/program_directory.h"
#include "results/results_schema.h"
#include "results/server_failure.h"

#include <QDir>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
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

const char* const kStationKey = "results/station";
const char* const kServerKey = "results/server";

QSettings Settings() { return ProgramSettings(); }

QString DataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/tavcontrol");
}

bool SetMode(const QString& path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0 || errno == ENOENT;
}

// The folder made private when this program makes it (or when it is the program's own data
// folder), the journal created private before SQLite opens it: SQLite gives its -wal and -shm
// files the mode of the database file. An existing journal made by an older program is mended.
bool MakePrivate(const QString& path, QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const bool made = !QFileInfo::exists(folder);
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("%1: the folder cannot be made").arg(path);
        return false;
    }
    if ((made || folder == QDir::cleanPath(DataFolder())) && !SetMode(folder, 0700)) {
        *error = QStringLiteral("%1: the folder cannot be made private").arg(folder);
        return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    for (const char* suffix : {"", "-wal", "-shm"})
        if (!SetMode(path + QLatin1String(suffix), 0600)) {
            *error =
                QStringLiteral("%1%2: cannot be made private (%3)")
                    .arg(path, QLatin1String(suffix), QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    return true;
}

// Switching a new journal to WAL wants it alone, and SQLite gives up at once rather than wait
// when two processes that both read it want that: the first processes of a station, started
// together, each try again in a moment.
bool UseWal(QSqlDatabase& db, QString* error)
{
    for (int attempt = 0;; ++attempt) {
        if (ResultsSchema::Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"), error))
            return true;
        if (attempt >= 500 || !error->contains(QLatin1String("locked")))
            return false;
        QThread::msleep(10 + attempt % 20);
    }
}

// libpq prints what the server says outside a query (a shutdown's "FATAL: terminating
// connection") on standard error itself unless the connection has a notice processor. Qt's
// driver sets none and links libpq for us, so the function is found in the library already
// loaded; the failure it announces is told by the statement that meets it.
void SilenceServerNotices(QSqlDatabase& db)
{
    using Processor = void (*)(void*, const char*);
    using SetProcessor = Processor (*)(void*, Processor, void*);
    static const SetProcessor set = [] {
        void* libpq = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_NOLOAD);
        return libpq ? reinterpret_cast<SetProcessor>(::dlsym(libpq, "PQsetNoticeProcessor"))
                     : nullptr;
    }();
    const QVariant handle = db.driver()->handle();
    if (!set || qstrcmp(handle.typeName(), "PGconn*") != 0)
        return;
    if (void* connection = *static_cast<void* const*>(handle.constData()))
        set(
            connection, [](void*, const char*) {}, nullptr);
}

} // namespace

QString Station()
{
    const QString saved = Settings().value(QLatin1String(kStationKey)).toString();
    return saved.isEmpty() ? HostStation() : saved;
}

QString HostStation()
{
    const QString host = QSysInfo::machineHostName();
    return host.isEmpty() ? QStringLiteral("localhost") : host;
}

void SaveStation(const QString& name)
{
    QSettings settings = Settings();
    if (name.isEmpty())
        settings.remove(QLatin1String(kStationKey));
    else
        settings.setValue(QLatin1String(kStationKey), name);
}

QString SavedServer() { return Settings().value(QLatin1String(kServerKey)).toString(); }

void SaveServer(const QString& uri) { Settings().setValue(QLatin1String(kServerKey), uri); }

bool CheckStation(const QString& name, QString* error)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._-]{0,63}$"));
    if (valid.match(name).hasMatch())
        return true;
    if (error)
        *error = QStringLiteral("station \"%1\": letters, digits, '.', '_' and '-' only, "
                                "at most 64, the first a letter or digit")
                     .arg(name);
    return false;
}

QString OperatorName()
{
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString JournalPath(const QString& station)
{
    return QStringLiteral("%1/journal-%2.sqlite").arg(DataFolder(), station);
}

namespace {

// The connection made and set up; the reason it failed otherwise. Every handle of it is gone on
// return, so that the caller may remove it.
QString JournalConnection(const QString& connection, const QString& path, int busyMs)
{
    if (QString e; !MakePrivate(path, &e))
        return e;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    // Several processes of one station write the same journal; each waits its turn.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(std::max(1, busyMs)));
    if (!db.open())
        return QStringLiteral("%1: %2").arg(path, db.lastError().text());
    QString e;
    // WAL: readers never block the writer; FULL: a committed row is on the disk, so a run
    // survives a power cut as well as a crash of the program.
    if (!UseWal(db, &e) ||
        !ResultsSchema::Exec(db, QStringLiteral("PRAGMA synchronous=FULL"), &e) ||
        !ResultsSchema::Ensure(db, &e))
        return QStringLiteral("%1: %2").arg(path, e);
    return {};
}

} // namespace

bool OpenJournal(const QString& connection, const QString& path, QString* error, int busyMs)
{
    const QString failed = JournalConnection(connection, path, busyMs);
    return failed.isEmpty() || Failed(connection, failed, error);
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

bool UriHasPassword(const QString& uri)
{
    const QUrl url(uri);
    return !url.password().isEmpty() || QUrlQuery(url).hasQueryItem(QStringLiteral("password"));
}

bool SetServerTimeout(QSqlDatabase& db, int timeoutMs, QString* error)
{
    const int ms = std::max(1, timeoutMs);
    return ResultsSchema::Exec(db, QStringLiteral("SET statement_timeout = %1").arg(ms), error) &&
           ResultsSchema::Exec(db, QStringLiteral("SET lock_timeout = %1").arg(ms), error);
}

namespace {

// As JournalConnection, for the server; kind tells what failed.
QString ServerConnection(const QString& connection, const QString& uri, int timeoutMs,
                         ServerFailure& kind, bool toRead = false)
{
    kind = ServerFailure::Other;
    const QUrl url(uri);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    if (!db.isValid())
        return QStringLiteral("the PostgreSQL driver of Qt SQL is not installed "
                              "(libqt6sql6-psql)");
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
    // A line whose server is gone must not hold a run's record for long. libpq counts whole
    // seconds and takes less than 2 as 2.
    if (!timeoutGiven)
        options << QStringLiteral("connect_timeout=%1").arg(std::max(2, (timeoutMs + 999) / 1000));
    db.setConnectOptions(options.join(QLatin1Char(';')));
    const auto failed = [&](const QString& driverText) {
        kind = ClassifyServerError(driverText);
        return ServerFailureText(kind, ShownUri(uri), driverText);
    };
    if (!db.open())
        return failed(db.lastError().text());
    SilenceServerNotices(db);
    QString e;
    // The server's notices and warnings ("already exists, skipping", "terminating connection
    // due to shutdown") are not for the user: what a failure means is told in its error.
    if (!ResultsSchema::Exec(db, QStringLiteral("SET client_min_messages TO error"), &e) ||
        !SetServerTimeout(db, timeoutMs, &e))
        return failed(e);
    if (toRead) {
        if (!ResultsSchema::Exec(db, QStringLiteral("SET default_transaction_read_only = on"), &e))
            return failed(e);
        if (ResultsSchema::ReadMark(db).Version > ResultsSchema::kVersion)
            return QStringLiteral("%1: the results database is of a newer program")
                .arg(ShownUri(uri));
        kind = ServerFailure::None;
        return {};
    }
    if (!ResultsSchema::Ensure(db, &e)) {
        // The schema's own words (a newer program's database) are already the program's.
        if (e.contains(QLatin1String("newer program")))
            return QStringLiteral("%1: %2").arg(ShownUri(uri), e);
        return failed(e);
    }
    kind = ServerFailure::None;
    return {};
}

} // namespace

bool OpenServer(const QString& connection, const QString& uri, QString* error, int timeoutMs,
                ServerFailure* failure)
{
    ServerFailure kind = ServerFailure::Other;
    const QString failed =
        CheckUri(uri, error) ? ServerConnection(connection, uri, timeoutMs, kind) : QString();
    if (failure)
        *failure = kind;
    if (kind == ServerFailure::None)
        return true;
    return !failed.isEmpty() && Failed(connection, failed, error);
}

bool OpenServerToRead(const QString& connection, const QString& uri, QString* error, int timeoutMs)
{
    ServerFailure kind = ServerFailure::Other;
    const QString failed =
        CheckUri(uri, error) ? ServerConnection(connection, uri, timeoutMs, kind, true) : QString();
    if (kind == ServerFailure::None)
        return true;
    return !failed.isEmpty() && Failed(connection, failed, error);
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
