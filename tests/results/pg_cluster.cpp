#include "tests/results/pg_cluster.h"

#include "results/results_database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kBin = "/usr/lib/postgresql/15/bin/";

} // namespace

// The folder's name holds no space (a window test's application name would give it one), which
// pg_ctl's options would split.
PgCluster::PgCluster()
    : m_temporary(QDir::tempPath() + QStringLiteral("/tav-pg-XXXXXX")),
      m_folder(m_temporary.isValid() ? m_temporary.path() : QString())
{
    if (geteuid() == 0) {
        m_user = QStringLiteral("nobody");
    } else if (const passwd* pw = getpwuid(geteuid())) {
        m_user = QString::fromLocal8Bit(pw->pw_name);
    }
}

PgCluster::PgCluster(const QString& folder) : PgCluster()
{
    m_folder = QDir(folder).absolutePath();
    m_made = QFile::exists(FilePath(QStringLiteral("data/PG_VERSION")));
}

QString PgCluster::FilePath(const QString& name) const
{
    return m_folder + QLatin1Char('/') + name;
}

PgCluster::~PgCluster()
{
    if (m_running)
        Stop();
}

bool PgCluster::Run(const QString& program, const QStringList& arguments, QString* error) const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.remove(QStringLiteral("PGDATA"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args = arguments;
    QString exe = QString::fromLatin1(kBin) + program;
    if (geteuid() == 0) {
        args.prepend(exe);
        args = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                           QStringLiteral("--clear-groups"), QStringLiteral("--")} +
               args;
        exe = QStringLiteral("setpriv");
    }
    p.start(exe, args);
    const bool done = p.waitForFinished(120000);
    if (done && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    if (error)
        *error = QStringLiteral("%1 %2: %3")
                     .arg(exe, args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()));
    return false;
}

bool PgCluster::Start(QString* error)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        *error = QStringLiteral("no folder for the cluster");
        return false;
    }
    const QString data = FilePath(QStringLiteral("data"));
    if (!m_made) {
        QDir(m_folder).mkpath(QStringLiteral("sock"));
        QDir(m_folder).mkpath(QStringLiteral("data"));
        ::chmod(QFile::encodeName(data).constData(), 0700);
        if (geteuid() == 0) {
            // The server's own user must reach its folders.
            const passwd* pw = getpwnam("nobody");
            auto own = [pw](const QString& path) {
                return ::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) == 0;
            };
            if (!pw || ::chmod(QFile::encodeName(m_folder).constData(), 0755) != 0 ||
                !own(FilePath(QStringLiteral("sock"))) || !own(data)) {
                *error = QStringLiteral("cannot hand the cluster's folder to nobody");
                return false;
            }
        }
        if (!Run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), data, QStringLiteral("-U"), m_user,
                  QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--no-sync")},
                 error))
            return false;
        m_made = true;
    }
    // No TCP at all; fsync off: the tests lose nothing that matters when the machine stops.
    const QString options =
        QStringLiteral("-k %1 -c listen_addresses='' -F").arg(FilePath(QStringLiteral("sock")));
    if (!Run(QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), data, QStringLiteral("-l"),
              FilePath(QStringLiteral("sock/log")), QStringLiteral("-o"), options,
              QStringLiteral("-w"), QStringLiteral("start")},
             error))
        return false;
    m_running = true;
    return true;
}

bool PgCluster::Stop(QString* error)
{
    m_running = false;
    return Run(QStringLiteral("pg_ctl"),
               {QStringLiteral("-D"), FilePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
               error);
}

QString PgCluster::Uri() const
{
    return QStringLiteral("postgresql://%1@/postgres?host=%2")
        .arg(m_user, FilePath(QStringLiteral("sock")));
}

long long PgCluster::Number(const QString& sql) const
{
    const QString name = QUuid::createUuid().toString();
    long long value = -1;
    if (ResultsDatabase::OpenServer(name, Uri(), nullptr)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        QSqlQuery q(db);
        if (q.exec(sql) && q.next())
            value = q.value(0).toLongLong();
        q = QSqlQuery();
        db = QSqlDatabase();
    }
    ResultsDatabase::Close(name);
    return value;
}
