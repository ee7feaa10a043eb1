// A line of stations on one PostgreSQL server: every run arrives once, also when several
// runners send at the same time, and a run made while the server was down or locked goes after
// it with the next sync, still once. Stations named on one host keep apart, a rack's runs keep
// their slots, and no driver's own line reaches standard error.
#include "tests/results/pg_cluster.h"
#include "tests/results/results_fixture.h"

#include "tests/support/qt_wait.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>
#include <cmath>
#include <sys/stat.h>

namespace {

using Server = ResultsFixture;

const QStringList kRows{
    "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1", "00.00.00.100;OUTP,0;0;0;0;;;off;1",
    "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;hidden;0", "00.00.00.000;END;0;0;0;;;;1"};

TEST_F(Server, ThreeRunnersAtOnceEachRunArrivesOnce)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    std::vector<std::unique_ptr<TavsimProcess>> sims;
    std::vector<std::unique_ptr<QProcess>> runners;
    // Two rounds: the second round's runners also find the first round's runs on the server.
    for (int round = 0; round < 2; ++round) {
        for (int station = 1; station <= 3; ++station) {
            // Each runner has an instrument of its own as its COM2.
            const QString config = QStringLiteral("cfg%1").arg(station);
            if (round == 0) {
                ASSERT_TRUE(QDir(File(QString())).mkpath(config + "/tavcontrol/ports"));
                sims.push_back(std::make_unique<TavsimProcess>(
                    File(config + "/tavcontrol/ports/COM2"),
                    File(QStringLiteral("sim%1.log").arg(station))));
                ASSERT_TRUE(sims.back()->Ready());
            }
            const QString serial = QStringLiteral("U%1-%2").arg(station).arg(round);
            runners.push_back(
                StartTavtest({WriteTable(QStringLiteral("t%1.tst").arg(station), kRows, serial),
                              "--db", cluster.Uri()},
                             config));
        }
        for (auto& p : runners) {
            ASSERT_TRUE(p->waitForFinished(90000));
            const QString stderrText = QString::fromLocal8Bit(p->readAllStandardError());
            EXPECT_EQ(p->exitCode(), 0) << stderrText.toStdString();
            // Three new processes opening one new journal at once each keep their run.
            EXPECT_FALSE(stderrText.contains("warning")) << stderrText.toStdString();
            EXPECT_EQ(DriverLines(stderrText), QStringList());
        }
        runners.clear();
    }
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE verdict = 'passed' AND "
                             "length(table_version) = 64"),
              6);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM steps"), 18);
    EXPECT_EQ(cluster.Number("SELECT COUNT(DISTINCT run_uuid) FROM steps WHERE ord = 3 AND "
                             "shown = 0"),
              6);
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE sent = 0"), 0);
    EXPECT_EQ(cluster.Number("SELECT MAX(version) FROM results_schema"), 1);
}

TEST_F(Server, ARunMadeWhileTheServerIsDownGoesWithTheNextSync)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    ASSERT_TRUE(cluster.Stop(&error)) << error.toStdString();
    auto sim = StartSim();
    // Told also when quiet, once, in the program's words; the verdict's status stands.
    EXPECT_EQ(Run({WriteTable("unit.tst", kRows, "DOWN-1"), "--db", cluster.Uri(), "--quiet"}), 0)
        << err.toStdString();
    EXPECT_TRUE(err.contains(QRegularExpression("results server unreachable \\(.*\\): .*; 1 "
                                                "run kept in the journal: tavtest sync")))
        << err.toStdString();
    EXPECT_EQ(err.count("results server"), 1) << err.toStdString();
    EXPECT_EQ(DriverLines(err), QStringList());
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE sent = 0 AND verdict = 'passed'"), 1);
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 2); // still down: nothing lost, status 2
    // The socket's file is gone with the server: said so, not as a file that is missing.
    const QString socket = QUrlQuery(QUrl(cluster.Uri())).queryItemValue("host");
    EXPECT_TRUE(err.contains(QStringLiteral("unreachable (%1): no server running at socket "
                                            "%2/.s.PGSQL.5432; 1 run stays in the journal")
                                 .arg(cluster.Uri(), socket)))
        << err.toStdString();

    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    // The runs table locked by another session: the run's send gives up within its time and
    // the run waits for the sync that follows the lock.
    QProcess locker;
    locker.start("psql", {"-q", "-v", "ON_ERROR_STOP=1", cluster.Uri()});
    ASSERT_TRUE(locker.waitForStarted(20000));
    locker.write("CREATE TABLE IF NOT EXISTS runs (uuid TEXT PRIMARY KEY);\n"
                 "BEGIN;\nLOCK TABLE runs IN ACCESS EXCLUSIVE MODE;\n");
    ASSERT_TRUE(WaitUntil(
        [&] {
            return cluster.Number("SELECT COUNT(*) FROM pg_locks WHERE mode = "
                                  "'AccessExclusiveLock' AND relation = 'runs'::regclass") == 1;
        },
        20000));
    EXPECT_EQ(Run({WriteTable("locked.tst", kRows, "LOCKED-1"), "--db", cluster.Uri(), "--quiet",
                   "--db-timeout", "1"}),
              0)
        << err.toStdString();
    EXPECT_TRUE(err.contains("results server timed out")) << err.toStdString();
    EXPECT_TRUE(err.contains("2 runs kept in the journal")) << err.toStdString();
    EXPECT_EQ(DriverLines(err), QStringList());
    locker.write("COMMIT;\n");
    locker.closeWriteChannel();
    ASSERT_TRUE(locker.waitForFinished(20000));

    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("2 runs sent, 0 left unsent")) << err.toStdString();
    EXPECT_EQ(DriverLines(err), QStringList());
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0);
    EXPECT_TRUE(err.contains("0 runs sent")) << err.toStdString();
    // A second copy made unsent again in the journal changes nothing on the server either.
    EXPECT_EQ(JournalNumber("UPDATE runs SET sent = 0 RETURNING 1"), 1);
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE serial = 'DOWN-1'"), 1);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM steps"), 6);

    EXPECT_EQ(Run({"history", "DOWN-1", "--db", cluster.Uri()}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(" passed ")) << out.toStdString();
    // The version went with the run, and the server's statistics read it as the journal's do.
    ASSERT_EQ(Run({"stats", "--db", cluster.Uri(), "--json"}), 0) << err.toStdString();
    const QString version = QJsonDocument::fromJson(out.toUtf8())
                                .object()["tables"]
                                .toArray()[0]
                                .toObject()["version"]
                                .toString();
    ASSERT_EQ(version.size(), 64) << out.toStdString();
    ASSERT_EQ(Run({"stats", "--db", cluster.Uri(), "--json", "--table", "unit.tst", "--version",
                   version.left(8)}),
              0)
        << err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(o["runs"].toInt(), 1);
    ASSERT_EQ(o["steps"].toArray().size(), 2) << out.toStdString();
    EXPECT_EQ(o["steps"].toArray()[0].toObject()["count"].toInt(), 1);
    EXPECT_TRUE(o["steps"].toArray()[0].toObject()["stddev"].isNull());
}

TEST_F(Server, NamedStationsOnOneHostAndARackKeepTheirNames)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    auto sim = StartSim();
    TavsimProcess second(PortLink(3), File("sim3.log"));
    ASSERT_TRUE(second.Ready());
    const QString table = WriteTable("unit.tst", kRows, "NAMED-1");
    EXPECT_EQ(Run({table, "--db", cluster.Uri(), "--station", "LINE-A", "--port", "COM2"}), 0)
        << err.toStdString();
    EXPECT_EQ(DriverLines(err), QStringList());
    EXPECT_EQ(Run({table, "--db", cluster.Uri(), "--station", "LINE-B", "--slot", "COM2", "--slot",
                   "COM3=NAMED-2"}),
              0)
        << err.toStdString();
    EXPECT_EQ(DriverLines(err), QStringList());
    EXPECT_EQ(Run({table, "--station", "../x"}), 2);

    // Each station its own journal, private to the user, its folder too.
    const auto mode = [](const QString& path) {
        struct stat s {};
        return ::stat(QFile::encodeName(path).constData(), &s) == 0 ? s.st_mode & 0777 : 0;
    };
    for (const QString& station : {QString("LINE-A"), QString("LINE-B")}) {
        EXPECT_EQ(mode(JournalFile(station)), 0600u) << station.toStdString();
        EXPECT_EQ(
            JournalNumber("SELECT COUNT(*) FROM runs WHERE station = '" + station + "'", station),
            station == "LINE-A" ? 1 : 2);
    }
    EXPECT_EQ(mode(File("data/tavcontrol")), 0700u);
    EXPECT_FALSE(QFileInfo::exists(JournalFile()));
    // The rack's two runs share one rack run and name their slots, in the journal and on the
    // server alike; the single run has neither.
    const QString rack = "SELECT COUNT(DISTINCT rack_run) * 10 + COUNT(*) FROM runs WHERE "
                         "station = 'LINE-B' AND rack_run IS NOT NULL AND slot IN ('COM2', "
                         "'COM3') AND length(rack_run) = 36";
    EXPECT_EQ(JournalNumber(rack, "LINE-B"), 12);
    EXPECT_EQ(cluster.Number(rack), 12);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE station = 'LINE-A' AND slot IS "
                             "NULL AND rack_run IS NULL"),
              1);

    EXPECT_EQ(Run({"history", "NAMED-2", "--station", "LINE-B"}), 0) << err.toStdString();
    EXPECT_TRUE(
        out.contains(QRegularExpression(" LINE-B .* COM3  slot COM3  .*  rack [-0-9a-f]{36}")))
        << out.toStdString();
    EXPECT_EQ(Run({"history", "NAMED-1", "--db", cluster.Uri(), "--station", "LINE-A"}), 0);
    // One run, and the instrument that tested it.
    EXPECT_EQ(out.count(QRegularExpression("^\\d{4}-", QRegularExpression::MultilineOption)), 1)
        << out.toStdString();
    ASSERT_EQ(Run({"stats", "--db", cluster.Uri(), "--station", "LINE-B", "--json"}), 0)
        << err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(out.toUtf8()).object()["runs"].toInt(), 2);
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri(), "--station", "LINE-A"}), 0);
    EXPECT_TRUE(err.contains("0 runs sent, 0 left unsent")) << err.toStdString();

    // The server the station's settings name takes a run given no --db, as the program's runs
    // go there; --db "" keeps a run in the journal alone.
    {
        QSettings settings(File("cfg/tavcontrol/tavcontrol.conf"), QSettings::IniFormat);
        settings.setValue("results/server", cluster.Uri());
    }
    EXPECT_EQ(Run({table, "--station", "LINE-C", "--port", "COM2"}), 0) << err.toStdString();
    EXPECT_EQ(Run({table, "--station", "LINE-D", "--port", "COM2", "--db", ""}), 0)
        << err.toStdString();
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE station IN ('LINE-C', 'LINE-D')"), 1);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE station = 'LINE-C'"), 1);
}

// A station renamed leaves its unsent runs in the journal of its former name: they go with the
// new name's next send, after a run and by tavtest sync alike, each under the station it was
// recorded as.
TEST_F(Server, ARenamedStationsUnsentRunsGoAllTheSame)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    auto sim = StartSim();
    ASSERT_EQ(Run({WriteTable("unit.tst", kRows, "OLD-1"), "--station", "LINE-A"}), 0)
        << err.toStdString();
    ASSERT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE sent = 0", "LINE-A"), 1);
    EXPECT_EQ(
        Run({WriteTable("unit.tst", kRows, "NEW-1"), "--station", "LINE-B", "--db", cluster.Uri()}),
        0)
        << err.toStdString();
    EXPECT_FALSE(err.contains("warning")) << err.toStdString();
    const QString sent = "SELECT COUNT(*) FROM runs r WHERE station = '%1' AND serial = '%2' AND "
                         "(SELECT COUNT(*) FROM steps WHERE run_uuid = r.uuid) = 3";
    EXPECT_EQ(cluster.Number(sent.arg("LINE-A", "OLD-1")), 1);
    EXPECT_EQ(cluster.Number(sent.arg("LINE-B", "NEW-1")), 1);
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE sent = 0", "LINE-A"), 0);

    ASSERT_EQ(Run({WriteTable("unit.tst", kRows, "OLD-2"), "--station", "LINE-A"}), 0)
        << err.toStdString();
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri(), "--station", "LINE-B"}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("1 run sent, 0 left unsent")) << err.toStdString();
    EXPECT_EQ(cluster.Number(sent.arg("LINE-A", "OLD-2")), 1);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs"), 3);
    EXPECT_EQ(DriverLines(err), QStringList());
}

} // namespace

// The views a line's own dashboard reads hold the figures tavtest stats gives for the same runs.
TEST_F(Server, DashboardViewsHoldTheStatisticsFigures)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    auto sim = StartSim();
    TavsimProcess heavy(PortLink(3), File("sim3.log"), {"--load-ohm", "48"});
    ASSERT_TRUE(heavy.Ready());
    const QStringList rows{"00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
                           "00.00.00.200;OUTP,1;0;0;0;;;;1",
                           "00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1",
                           "00.00.00.300;MEAS:VOLT?;NEXT;0;NEXT;225;235;U;1",
                           "00.00.00.100;OUTP,0;0;0;0;;;;1",
                           "00.00.00.000;END;0;0;0;;;;1"};
    for (const char* port : {"COM2", "COM2", "COM3"})
        Run({WriteTable("unit.tst", rows), "--port", port, "--db", cluster.Uri()});
    ASSERT_EQ(Run({"stats", "--db", cluster.Uri(), "--json", "--table", "unit.tst"}), 0)
        << err.toStdString();
    const QJsonArray steps = QJsonDocument::fromJson(out.toUtf8()).object()["steps"].toArray();
    ASSERT_EQ(steps.size(), 2) << out.toStdString();
    for (const QJsonValue& value : steps) {
        const QJsonObject step = value.toObject();
        SCOPED_TRACE(step["step"].toString().toStdString());
        const QString where = QStringLiteral(" FROM step_figures WHERE table_name = 'unit.tst' "
                                             "AND step = '%1'")
                                  .arg(step["step"].toString());
        EXPECT_EQ(cluster.Number("SELECT readings" + where), step["count"].toInt());
        EXPECT_EQ(cluster.Number("SELECT failures" + where), step["failures"].toInt());
        EXPECT_EQ(cluster.Number("SELECT ROUND(mean * 1000)" + where),
                  std::llround(step["mean"].toDouble() * 1000));
    }
    EXPECT_EQ(cluster.Number("SELECT SUM(runs) FROM runs_by_day WHERE table_name = 'unit.tst' "
                             "AND verdict = 'passed'"),
              2);
    EXPECT_EQ(cluster.Number("SELECT SUM(runs) FROM runs_by_day WHERE verdict = 'failed'"), 1);
}
