// A station's journal held by another process's write transaction while a run goes on: the run
// waits for it, and goes in whole once it is free. Held for longer than the end of the run may
// wait, the run is told as not recorded and fails the exit status, never passes unrecorded.
#include "results/results_store.h"
#include "results/run_recorder.h"
#include "tests/results/results_fixture.h"
#include "tests/support/qt_wait.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

using JournalLock = ResultsFixture;

const QStringList kRows{"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
                        "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;hidden;0",
                        "00.00.00.100;OUTP,0;0;0;0;;;off;1", "00.00.00.000;END;0;0;0;;;;1"};

TEST_F(JournalLock, ARunWaitsForAHeldJournalAndIsToldWhenItCannotGoIn)
{
    auto sim = StartSim();
    // The journal made as the station's first run makes it, then held by this process.
    ASSERT_EQ(Run({WriteTable("first.tst", kRows, "FIRST"), "--quiet"}), 0) << err.toStdString();
    QString error;
    ASSERT_TRUE(ResultsDatabase::OpenJournal("holder", JournalFile(), &error))
        << error.toStdString();
    QSqlDatabase holder = QSqlDatabase::database("holder", false);
    const struct {
        const char* serial;
        bool releasedDuringTheEnd; // else held until tavtest has ended
        int status;
        long long runs;
        long long steps;
    } cases[] = {{"HELD-1", true, 0, 1, 3}, {"HELD-2", false, 2, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.serial);
        ASSERT_TRUE(QSqlQuery(holder).exec("BEGIN IMMEDIATE"));
        Start({WriteTable("held.tst", kRows, c.serial), "--quiet"});
        QString early;
        // Let go once the verdict is out and tavtest tries, in vain, to write the run's end.
        if (c.releasedDuringTheEnd) {
            ASSERT_TRUE(WaitUntil(
                [&] {
                    early += QString::fromLocal8Bit(process.readAllStandardError());
                    return early.contains("PASSED");
                },
                60000))
                << early.toStdString();
            QThread::msleep(2500);
            ASSERT_TRUE(QSqlQuery(holder).exec("COMMIT"));
        }
        const int status = Finish();
        err = early + err;
        if (!c.releasedDuringTheEnd) {
            ASSERT_TRUE(QSqlQuery(holder).exec("COMMIT"));
        }
        EXPECT_EQ(status, c.status) << err.toStdString();
        EXPECT_TRUE(err.contains("PASSED")) << err.toStdString();
        EXPECT_EQ(err.contains(QRegularExpression("tavtest: error: run not recorded in the "
                                                  "journal: .*journal-.*\\.sqlite: .*locked")),
                  c.status == 2)
            << err.toStdString();
        EXPECT_EQ(DriverLines(err), QStringList()) << err.toStdString();
        const QString run =
            QStringLiteral("(SELECT uuid FROM runs WHERE serial = '%1')").arg(c.serial);
        EXPECT_EQ(JournalNumber(QStringLiteral("SELECT COUNT(*) FROM runs WHERE serial = '%1' AND "
                                               "verdict = 'passed' AND ended_ms > started_ms")
                                    .arg(c.serial)),
                  c.runs);
        EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM steps WHERE run_uuid IN " + run), c.steps);
    }
    // No step of any run without its run.
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM steps WHERE run_uuid NOT IN (SELECT uuid FROM "
                            "runs)"),
              0);
    holder = QSqlDatabase();
    ResultsDatabase::Close("holder");
}

// A run's end is its whole record: with the row its start wrote gone (another program's
// hands on the journal), the end still leaves the run in it, never an update of nothing.
TEST_F(JournalLock, ARunsEndIsItsWholeRecord)
{
    {
        ResultsStore store(JournalFile(), ResultsDatabase::HostStation());
        RunRecorder recorder(store);
        recorder.RunBegins({QString(), {"R", "TAV 1600", "SN-GONE"}, "COM2", QString(), {}, {}});
        ASSERT_TRUE(store.Flush().JournalError.isEmpty());
        ASSERT_EQ(JournalNumber("DELETE FROM runs RETURNING 1"), 1);
        recorder.StepRecorded({"1", "U", "1", "2", "3", ""}, true, "MEAS:VOLT?");
        recorder.RunEnds(RunEnding::Completed, QString());
        const ResultsStore::Status status = store.Flush();
        EXPECT_TRUE(status.JournalError.isEmpty()) << status.JournalError.toStdString();
        EXPECT_TRUE(status.NotRecorded.isEmpty());
    }
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE serial = 'SN-GONE' AND unit = 'TAV "
                            "1600' AND link = 'COM2' AND verdict = 'passed' AND pid > 0 AND "
                            "(SELECT COUNT(*) FROM steps WHERE run_uuid = runs.uuid) = 1"),
              1);
}

} // namespace
