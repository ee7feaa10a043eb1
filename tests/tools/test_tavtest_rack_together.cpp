// A rack where the features meet: an instrument on a pseudo-terminal, one behind a real serial
// device server, one that loses two replies in a row, one behind a server that never answers;
// a prompt answered for every slot, and the journal held by another program for a while.
// Every slot's verdict is what its instrument did, and every slot is in the JUnit file, the
// journal and the summary.
#include "tests/results/results_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/qt_wait.h"

#include <QFileInfo>
#include <QThread>

namespace {

using RackTogether = ResultsFixture;

const QStringList kRows = {
    "00.00.00.100;@MSGVAR01;230;0;0;;;Voltage?;1",
    "00.00.00.100;SOUR:VOLTAC,@VAR01;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.300;MEAS:VOLT?;0;0;0;210;220;U1;1",
    "00.00.00.300;MEAS:VOLT?;0;0;0;210;220;U2;1",
    "00.00.00.300;MEAS:VOLT?;0;0;0;210;220;U3;1",
    "00.00.00.300;MEAS:VOLT?;0;0;0;210;220;U4;1",
    "00.00.00.300;MEAS:VOLT?;0;0;0;210;220;U5;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};

TEST_F(RackTogether, EverySlotIsJudgedByItsOwnInstrumentAndRecorded)
{
    if (!QFileInfo(QStringLiteral("/usr/sbin/ser2net")).isExecutable())
        GTEST_SKIP() << "ser2net is not installed (Debian package ser2net): no device server";
    auto plain = StartSim();
    TavsimProcess behind(File("sim-tty"), File("sim-behind.log"));
    auto lossy = StartSimOn(4, {"--lose-replies", "2-4"});
    ASSERT_TRUE(behind.Ready());
    SilentListener silent;
    QProcess server;
    const QString served = StartDeviceServer(
        server, File("sim-tty"), [](const auto& ready) { return WaitUntil(ready, 10000); });
    ASSERT_FALSE(served.isEmpty()) << server.readAll().toStdString();

    // The station's journal, made by a first run, then held by this process.
    ASSERT_EQ(Run({WriteTable("first.tst", {"00.00.00.000;END;0;0;0;;;;1"}, "FIRST")}), 0)
        << err.toStdString();
    QString error;
    ASSERT_TRUE(ResultsDatabase::OpenJournal("holder", JournalFile(), &error))
        << error.toStdString();
    QSqlDatabase holder = QSqlDatabase::database("holder", false);
    ASSERT_TRUE(QSqlQuery(holder).exec("BEGIN IMMEDIATE"));
    Start({WriteTable("unit.tst", kRows), "--slot", "COM2", "--slot", served, "--slot", "COM4",
           "--slot", silent.Uri(), "--answer", "VAR01=215", "--junit", "j.xml"});
    QThread::msleep(1500);
    ASSERT_TRUE(QSqlQuery(holder).exec("COMMIT"));
    const int status = Finish();
    server.terminate();
    server.waitForFinished();
    holder = QSqlDatabase();
    ResultsDatabase::Close("holder");

    EXPECT_EQ(status, 2) << err.toStdString();
    for (const QString& line :
         {QStringLiteral("slot COM2 0505000120: PASSED"), "slot " + served + " 0505000121: PASSED",
          QStringLiteral("slot COM4 0505000122: FAILED"),
          "slot " + silent.Uri() + " 0505000123: ERROR",
          QStringLiteral("rack: 4 slots, 2 passed, 1 failed, 1 with a run error")})
        EXPECT_TRUE(err.contains(line)) << line.toStdString() << "\n" << err.toStdString();
    // The answer reached every instrument that was reached at all.
    for (const TavsimProcess* sim : {plain.get(), &behind, lossy.get()})
        EXPECT_TRUE(SentLines(*sim).contains("SOUR:VOLTAC,215.0"));

    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_EQ(junit.count("<testsuite "), 4) << junit.toStdString();
    EXPECT_EQ(junit.count("<failure"), 2) << "the two rows whose replies were lost\n"
                                          << junit.toStdString();
    EXPECT_EQ(junit.count("<error message=\"" + silent.Uri()), 1) << junit.toStdString();

    const struct {
        const char* serial;
        const char* verdict;
        long long steps;
    } runs[] = {{"0505000120", "passed", 8},
                {"0505000121", "passed", 8},
                {"0505000122", "failed", 8},
                {"0505000123", "error", 0}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.serial);
        EXPECT_EQ(JournalNumber(QStringLiteral("SELECT COUNT(*) FROM runs WHERE serial = '%1' "
                                               "AND verdict = '%2'")
                                    .arg(run.serial, run.verdict)),
                  1);
        EXPECT_EQ(JournalNumber(QStringLiteral("SELECT COUNT(*) FROM steps WHERE run_uuid IN "
                                               "(SELECT uuid FROM runs WHERE serial = '%1')")
                                    .arg(run.serial)),
                  run.steps);
    }
    EXPECT_EQ(JournalNumber("SELECT COUNT(DISTINCT rack_run) FROM runs WHERE serial LIKE "
                            "'050500012%'"),
              1);
}

} // namespace
