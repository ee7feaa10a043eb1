#include "tools/serve_command.h"

#include "results/results_database.h"
#include "run/input_rules.h"
#include "web/line_view_server.h"
#include "web/viewer_token.h"

#include <QDir>
#include <QGuiApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

namespace {

const char* const kServeUsage =
    "Usage: tavtest serve [--db URI] [--station NAME] [--listen ADDR:PORT]\n"
    "                     [--token-file FILE | --open] [--db-timeout SECONDS]\n"
    "                     [--refresh SECONDS]\n"
    "Shows the line in a web browser, read-only: every station, today's yield, the steps that\n"
    "failed most, a table version's figures and plots, a unit's history, a station's runs;\n"
    "the same as JSON under /api/. Reads the line's PostgreSQL server (--db) or, without one,\n"
    "this station's journal (or that of --station). Listens on 127.0.0.1:8080 unless\n"
    "--listen names another address; an address other than the loopback needs the viewer\n"
    "token of --token-file, or --open to let the line's network see the view without one.\n"
    "The pages refresh themselves every --refresh seconds (5); each answer is read once in\n"
    "that time, however many screens ask.\n"
    "See tavtest(1).\n";

struct ServeRequest {
    QString Db;
    QString Station;
    QHostAddress Address = QHostAddress(QHostAddress::LocalHost);
    quint16 Port = 8080;
    QString TokenFile;
    bool Open = false;
    int TimeoutMs = 5000;
    int RefreshMs = 5000;
    bool Help = false;
    QString Error;
};

int Fail(const QString& text)
{
    std::fprintf(stderr, "tavtest: %s\n", text.toLocal8Bit().constData());
    return 2;
}

// "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:80".
bool ReadListen(const QString& text, QHostAddress* address, quint16* port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint number = text.mid(colon + 1).toUInt(&ok);
    if (!ok || number > 65535 || !address->setAddress(host))
        return false;
    *port = static_cast<quint16>(number);
    return true;
}

ServeRequest Parse(const QStringList& a)
{
    ServeRequest r;
    for (int i = 1; i < a.size() && r.Error.isEmpty(); ++i) {
        const QString& o = a[i];
        auto value = [&]() -> QString {
            if (i + 1 >= a.size()) {
                r.Error = QStringLiteral("%1 needs a value").arg(o);
                return {};
            }
            return a[++i];
        };
        if (o == QLatin1String("--help") || o == QLatin1String("-h"))
            r.Help = true;
        else if (o == QLatin1String("--db"))
            r.Db = value();
        else if (o == QLatin1String("--station")) {
            r.Station = value();
            if (r.Error.isEmpty())
                ResultsDatabase::CheckStation(r.Station, &r.Error);
        } else if (o == QLatin1String("--listen")) {
            const QString text = value();
            if (r.Error.isEmpty() && !ReadListen(text, &r.Address, &r.Port))
                r.Error = QStringLiteral("--listen %1: not an address and port (127.0.0.1:8080)")
                              .arg(text);
        } else if (o == QLatin1String("--token-file"))
            r.TokenFile = value();
        else if (o == QLatin1String("--open"))
            r.Open = true;
        else if (o == QLatin1String("--db-timeout")) {
            const QString text = value();
            const std::optional<int> ms = ReadTimeout(text);
            r.TimeoutMs = ms.value_or(0);
            if (r.Error.isEmpty() && r.TimeoutMs <= 0)
                r.Error = QStringLiteral("--db-timeout: not a number of seconds above 0: ") + text;
        } else if (o == QLatin1String("--refresh")) {
            const QString text = value();
            const std::optional<int> ms = ReadTimeout(text);
            r.RefreshMs = ms.value_or(0);
            if (r.Error.isEmpty() && (r.RefreshMs < 1000 || r.RefreshMs > 3600000))
                r.Error =
                    QStringLiteral("--refresh: not a number of seconds from 1 to 3600: ") + text;
        } else
            r.Error = QStringLiteral("serve %1: unknown option").arg(o);
    }
    if (r.Error.isEmpty() && !r.Db.isEmpty())
        ResultsDatabase::CheckUri(r.Db, &r.Error);
    if (r.Error.isEmpty() && !r.TokenFile.isEmpty() && r.Open)
        r.Error = QStringLiteral("serve: --token-file or --open, not both");
    if (r.Error.isEmpty() && !r.Address.isLoopback() && r.TokenFile.isEmpty() && !r.Open)
        r.Error = QStringLiteral("serve --listen %1: other machines would see the line's view "
                                 "without a token; give --token-file FILE, or --open if the "
                                 "line's network may see it")
                      .arg(r.Address.toString());
    return r;
}

} // namespace

bool IsServeCommand(const QStringList& arguments)
{
    return arguments.value(0) == QLatin1String("serve");
}

int RunServeCommand(int argc, char** argv, const QStringList& arguments)
{
    ServeRequest r = Parse(arguments);
    if (r.Help) {
        std::fputs(kServeUsage, stdout);
        return 0;
    }
    if (!r.Error.isEmpty())
        return Fail(r.Error);
    LineViewServer::Options options;
    if (!r.TokenFile.isEmpty()) {
        QString error;
        options.Token = ViewerToken::Read(r.TokenFile, &error);
        if (options.Token.isEmpty())
            return Fail(error);
    }
    if (ResultsDatabase::UriHasPassword(r.Db))
        std::fputs("tavtest: warning: --db: the password in the URI can be read by anyone on "
                   "this machine (ps); put it into ~/.pgpass or PGPASSWORD\n",
                   stderr);
    // The plots are painted; the offscreen platform needs no display. A service has no session
    // folder, which the GUI part wants: a private one serves.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QTemporaryDir> runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtimeDir =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tavtest-XXXXXX"));
        if (runtimeDir->isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir->path()));
    }
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavtest"));
    options.Source.Uri = r.Db;
    options.Source.JournalPath =
        ResultsDatabase::JournalPath(r.Station.isEmpty() ? ResultsDatabase::Station() : r.Station);
    options.Source.TimeoutMs = r.TimeoutMs;
    options.RefreshMs = r.RefreshMs;
    options.LoopbackOnly = r.Address.isLoopback();
    LineViewServer server(options);
    const quint16 port = server.listen(r.Address, r.Port);
    if (port == 0)
        return Fail(QStringLiteral("serve: %1 port %2 cannot be listened on (in use, or not an "
                                   "address of this machine)")
                        .arg(r.Address.toString())
                        .arg(r.Port));
    const QString host = r.Address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(r.Address.toString())
                             : r.Address.toString();
    std::fprintf(stderr, "tavtest: the line's view of %s is on http://%s:%u/\n",
                 (r.Db.isEmpty()
                      ? QStringLiteral("results journal ") + options.Source.JournalPath
                      : QStringLiteral("results server ") + ResultsDatabase::ShownUri(r.Db))
                     .toLocal8Bit()
                     .constData(),
                 host.toLocal8Bit().constData(), port);
    std::fflush(stderr);
    return app.exec();
}
