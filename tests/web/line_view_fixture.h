#pragma once

#include "results/results_database.h"
#include "results/run_tables.h"
#include "tests/results/pg_cluster.h"
#include "tests/tools/tavtest_fixture.h"

#include <QDateTime>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QUuid>
#include <cmath>
#include <memory>
#include <unistd.h>

// A line's runs written as the recorder writes them, into a station's journal or the line's
// server, and tavtest serve as a child process over them, asked over HTTP on the loopback.
class LineViewFixture : public TavtestFixture {
protected:
    struct Http {
        int Status = 0;
        QByteArray Headers;
        QByteArray Body;
        QString Text() const { return QString::fromUtf8(Body); }
    };

    static inline const QString kVersion = QStringLiteral("5eed") + QString(60, QLatin1Char('7'));
    static constexpr const char* kScript = "<script>alert(1)</script>";

    // The runs of three stations today (and two of yesterday that no "today" counts): each
    // station tests its units through psu.tst, one unit fails its current and passes on the
    // retest, and line-2 tests a unit named <script>. Station line-3 runs one now; on the server,
    // line-2's live entry is five minutes old. Steps 1 and 2 are checked; 3 has no limits.
    static void WriteLine(QSqlDatabase& db, bool server)
    {
        const QDateTime now = QDateTime::currentDateTime();
        const qint64 dayStart = now.date().startOfDay().toMSecsSinceEpoch() + 1000;
        const qint64 base = std::max(now.toMSecsSinceEpoch() - 3600'000, dayStart);
        const qint64 spacing = (now.toMSecsSinceEpoch() - base) / 40;
        int n = 0;
        auto write = [&](const QString& station, const QString& serial, const QString& unit,
                         qint64 started, bool currentFails, const char* verdict) {
            RunRecord run;
            run.Uuid = QStringLiteral("run-%1").arg(++n, 3, 10, QLatin1Char('0'));
            run.Station = station;
            run.TableName = QStringLiteral("psu.tst");
            run.TableVersion = kVersion;
            run.Serial = serial;
            run.Unit = unit;
            run.Reporter = QStringLiteral("Line 3");
            run.StartedMs = started;
            run.StartedText = QDateTime::fromMSecsSinceEpoch(started).toString(Qt::ISODate);
            run.Verdict = QString::fromLatin1(verdict);
            if (*verdict) {
                run.EndedMs = started + 30000;
                run.DurationMs = 30000;
            }
            run.Pid = *verdict ? 0 : getpid();
            QString error;
            ASSERT_TRUE(RunTables::InsertRun(db, run, &error)) << error.toStdString();
            const double volts = 229.6 + 0.05 * ((n * 7) % 17);
            const double amps = currentFails ? 1.25 : 0.95 + 0.01 * ((n * 5) % 9);
            const QList<
                std::tuple<const char*, const char*, const char*, double, double, double, bool>>
                rows{{"1", "MEAS:VOLT?", "output voltage", 229, 231, volts, false},
                     {"2", "MEAS:CURR?", "load current", 0.9, 1.1, amps, currentFails},
                     {"3", "SYST:ERR?", "no error", NAN, NAN, NAN, false}};
            int order = 0;
            for (const auto& [step, command, comment, lower, upper, value, failed] : rows) {
                RowRecord row;
                row.Order = ++order;
                row.Step = QString::fromLatin1(step);
                // The unit named <script> has it in its rows' texts too.
                const bool script = serial == QLatin1String(kScript);
                row.Command = script ? serial : QString::fromLatin1(command);
                row.Comment = script ? serial : QString::fromLatin1(comment);
                if (!std::isnan(lower)) {
                    row.Lower = lower;
                    row.LowerText = QString::number(lower, 'f', 3);
                    row.Upper = upper;
                    row.UpperText = QString::number(upper, 'f', 3);
                    row.Value = value;
                    row.ValueText = QString::number(value, 'f', 3);
                } else {
                    row.ValueText = QStringLiteral("0,\"No error\"");
                }
                row.Mark = failed ? QStringLiteral("Error!") : QString();
                ASSERT_TRUE(RunTables::InsertStep(db, run.Uuid, row, &error))
                    << error.toStdString();
                if (!*verdict && order == 2)
                    break; // the running unit is at its second row
            }
        };
        const qint64 yesterday = dayStart - 6 * 3600'000;
        write("line-1", "SN-OLD-1", "TAV 1600", yesterday, false, "passed");
        write("line-2", "SN-OLD-2", "TAV 1600", yesterday + 60000, true, "failed");
        int k = 0;
        for (const char* station : {"line-1", "line-2", "line-3"})
            for (int unit = 1; unit <= 4; ++unit) {
                const QString serial = QStringLiteral("SN-%1-%2").arg(station).arg(unit);
                const bool fails = unit == 2;
                write(station, serial, "TAV 1600", base + spacing * ++k, fails,
                      fails ? "failed" : "passed");
                if (fails)
                    write(station, serial, "TAV 1600", base + spacing * ++k, false, "passed");
            }
        write("line-2", kScript, kScript, base + spacing * ++k, false, "passed");
        write("line-3", "SN-line-3-9", "TAV 1600", base + spacing * ++k, false, "");
        if (server) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS station_now (station "
                                              "TEXT PRIMARY KEY, run_uuid TEXT, table_name TEXT, "
                                              "unit TEXT, serial TEXT, step TEXT, since_ms "
                                              "BIGINT, updated_ms BIGINT)")));
            ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO station_now VALUES ('line-3', "
                                              "'run-%1', 'psu.tst', 'TAV 1600', 'SN-line-3-9', "
                                              "'2', %2, %3)")
                                   .arg(n, 3, 10, QLatin1Char('0'))
                                   .arg(base + spacing * k)
                                   .arg(QDateTime::currentMSecsSinceEpoch())));
            // line-2's program died in a run five minutes ago: it was last seen then.
            ASSERT_TRUE(q.exec(QStringLiteral("INSERT INTO station_now VALUES ('line-2', "
                                              "'run-gone', 'psu.tst', 'TAV 1600', 'SN-GONE', "
                                              "'1', %1, %1)")
                                   .arg(QDateTime::currentMSecsSinceEpoch() - 300'000)));
        }
    }

    // The line written into station's journal (in the test's data folder) or onto the server.
    void WriteJournal(const QString& station)
    {
        const QString name = QUuid::createUuid().toString();
        QString error;
        ASSERT_TRUE(ResultsDatabase::OpenJournal(
            name, File(QStringLiteral("data/tavcontrol/journal-%1.sqlite").arg(station)), &error))
            << error.toStdString();
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            WriteLine(db, false);
        }
        ResultsDatabase::Close(name);
    }
    void WriteServer(const QString& uri)
    {
        const QString name = QUuid::createUuid().toString();
        QString error;
        ASSERT_TRUE(ResultsDatabase::OpenServer(name, uri, &error)) << error.toStdString();
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            WriteLine(db, true);
        }
        ResultsDatabase::Close(name);
    }

    // tavtest serve on a free loopback port; false when it did not come up.
    bool StartView(const QStringList& extra)
    {
        view.setProcessEnvironment(Environment());
        view.setWorkingDirectory(File(QString()));
        view.setReadChannel(QProcess::StandardError);
        view.start(QString::fromUtf8(kTavtestPath),
                   QStringList{QStringLiteral("serve"), QStringLiteral("--listen"),
                               QStringLiteral("127.0.0.1:0"), QStringLiteral("--refresh"),
                               QStringLiteral("1")} +
                       extra);
        static const QRegularExpression on(QStringLiteral("http://127\\.0\\.0\\.1:(\\d+)/"));
        QString said;
        while (view.waitForReadyRead(20000)) {
            said += QString::fromLocal8Bit(view.readAllStandardError());
            if (const auto m = on.match(said); m.hasMatch()) {
                port = m.captured(1).toInt();
                return true;
            }
        }
        ADD_FAILURE() << "tavtest serve did not start: " << said.toStdString();
        return false;
    }

    void TearDown() override
    {
        if (view.state() != QProcess::NotRunning) {
            view.terminate();
            view.waitForFinished(10000);
        }
    }

    // One GET, with the headers given (a Host of its own first), read to its end.
    Http Get(const QString& target, const QByteArray& headers = {}) const
    {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
        Http http;
        if (!socket.waitForConnected(10000))
            return http;
        const QByteArray host = headers.startsWith("Host:") ? "" : "Host: 127.0.0.1\r\n";
        socket.write("GET " + target.toUtf8() + " HTTP/1.1\r\n" + host + headers +
                     "Connection: close\r\n\r\n");
        QByteArray all;
        qsizetype length = -1;
        qsizetype bodyAt = -1;
        while (socket.waitForReadyRead(30000)) {
            all += socket.readAll();
            if (bodyAt < 0 && (bodyAt = all.indexOf("\r\n\r\n")) >= 0) {
                bodyAt += 4;
                static const QRegularExpression field(QStringLiteral("(?i)content-length: (\\d+)"));
                const auto m = field.match(QString::fromLatin1(all.left(bodyAt)));
                length = m.hasMatch() ? m.captured(1).toLongLong() : -1;
            }
            if (bodyAt >= 0 && length >= 0 && all.size() >= bodyAt + length)
                break;
        }
        if (bodyAt < 0)
            return http;
        http.Status = all.mid(9, 3).toInt();
        http.Headers = all.left(bodyAt);
        http.Body = all.mid(bodyAt, length);
        return http;
    }

    QProcess view;
    int port = 0;
};
