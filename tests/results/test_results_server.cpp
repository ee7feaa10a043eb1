// A line of stations on one PostgreSQL server: every run arrives once, also when several
// runners send at the same time, and a run made while the server was down goes after it with
// the next sync, still once.
#include "tests/results/pg_cluster.h"
#include "tests/results/results_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Server = ResultsFixture;

const QStringList kRows{"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
                        "00.00.00.100;OUTP,0;0;0;0;;;off;1",
                        "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;hidden;0",
                        "00.00.00.000;END;0;0;0;;;;1"};

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
            runners.push_back(StartTavtest(
                {WriteTable(QStringLiteral("t%1.tst").arg(station), kRows, serial), "--db",
                 cluster.Uri()},
                config));
        }
        for (auto& p : runners) {
            ASSERT_TRUE(p->waitForFinished(90000));
            EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
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
    EXPECT_EQ(Run({WriteTable("unit.tst", kRows, "DOWN-1"), "--db", cluster.Uri()}), 0)
        << err.toStdString();
    EXPECT_TRUE(err.contains("kept in the journal")) << err.toStdString();
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE sent = 0 AND verdict = 'passed'"),
              1);
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 2); // still down: nothing lost, status 2

    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("1 run sent, 0 left unsent")) << err.toStdString();
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0);
    EXPECT_TRUE(err.contains("0 runs sent")) << err.toStdString();
    // A second copy made unsent again in the journal changes nothing on the server either.
    EXPECT_EQ(JournalNumber("UPDATE runs SET sent = 0 RETURNING 1"), 1);
    EXPECT_EQ(Run({"sync", "--db", cluster.Uri()}), 0);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM runs WHERE serial = 'DOWN-1'"), 1);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM steps"), 3);

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
    ASSERT_EQ(Run({"stats", "--db", cluster.Uri(), "--json", "--version", version.left(8)}), 0)
        << err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(o["runs"].toInt(), 1);
    ASSERT_EQ(o["steps"].toArray().size(), 2) << out.toStdString();
    EXPECT_EQ(o["steps"].toArray()[0].toObject()["count"].toInt(), 1);
    EXPECT_TRUE(o["steps"].toArray()[0].toObject()["stddev"].isNull());
}

} // namespace
