// Every tavtest run lands in the station's journal: its rows as they come, hidden ones too,
// its end last; a run whose program dies stays "incomplete" with what it recorded, and
// history and stats read it all back.
#include "results/results_store.h"
#include "results/run_recorder.h"
#include "tests/results/results_fixture.h"
#include "tests/support/qt_wait.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

using Journal = ResultsFixture;

TEST_F(Journal, AKilledRunStaysIncompleteWithItsRows)
{
    auto sim = StartSim();
    // Row 2 is hidden and fails; row 3 sends a variable; row 4 holds the run for half a minute.
    const QString table =
        WriteTable("unit.tst",
                   {"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;frequency;1",
                    "00.00.00.300;SOUR:FREQ?;0;0;0;51;52;hidden;0",
                    "00.00.00.100;SOUR:VOLT @VAR01;0;0;0;;;set;1",
                    "00.00.30.000;OUTP,0;0;0;0;;;wait;1", "00.00.00.000;END;0;0;0;;;;1"},
                   "SN-KILL");
    Start({table, "--set", "VAR01=230"});
    ASSERT_TRUE(WaitUntil([&] { return JournalNumber("SELECT COUNT(*) FROM steps") >= 4; }, 60000))
        << JournalNumber("SELECT COUNT(*) FROM steps");
    process.kill(); // SIGKILL: no end is ever written
    ASSERT_TRUE(process.waitForFinished(20000));

    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE verdict = '' AND serial = "
                            "'SN-KILL' AND ended_ms = 0"),
              1);
    const struct {
        const char* sql;
        long long expected;
    } rows[] = {
        {"SELECT COUNT(*) FROM steps", 4},
        {"SELECT COUNT(*) FROM steps WHERE ord = 2 AND shown = 0 AND mark = 'Error!' AND "
         "lower_number = 51 AND value_number = 50",
         1},
        {"SELECT COUNT(*) FROM steps WHERE ord = 1 AND shown = 1 AND mark = '' AND "
         "value_text = '50.000' AND upper_text = '51.000'",
         1},
        {"SELECT COUNT(*) FROM steps WHERE ord = 3 AND command = 'SOUR:VOLT 230.0'", 1},
        {"SELECT COUNT(*) FROM steps WHERE ord = 4 AND step = '4' AND command = 'OUTP,0'", 1},
        {"SELECT COUNT(*) FROM runs WHERE length(table_sha256) = 64 AND table_name = "
         "'unit.tst' AND link = 'COM2' AND started_text LIKE '____-__-__T__:__:__.___%'",
         1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(JournalNumber(QString::fromLatin1(r.sql)), r.expected) << r.sql;

    // The unit again, to the end this time: newest first, the killed run still incomplete.
    const QString again = WriteTable(
        "unit.tst",
        {"00.00.00.300;SOUR:FREQ?;0;0;0;51;52;frequency;1", "00.00.00.000;END;0;0;0;;;;1"},
        "SN-KILL");
    EXPECT_EQ(Run({again}), 1) << err.toStdString();
    EXPECT_EQ(Run({"history", "SN-KILL"}), 0) << err.toStdString();
    // Each run, the instrument that tested it, and its failed steps.
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << out.toStdString();
    EXPECT_TRUE(lines[0].contains(QRegularExpression(" failed +")));
    EXPECT_EQ(lines[1], "    instrument TAV-1600-PS 0505000120");
    EXPECT_TRUE(lines[2].contains("step 1  SOUR:FREQ?  frequency  50.000 [51.000 .. 52.000]"));
    EXPECT_TRUE(lines[3].contains(QRegularExpression(" incomplete +")));
    EXPECT_TRUE(lines[5].contains("step 2  SOUR:FREQ?  hidden")) << out.toStdString();
    EXPECT_EQ(Run({"history", "NO-SUCH-UNIT"}), 1);
}

// Statistics over known values: yield counts each unit's first run only; mean, standard
// deviation and Cpk per step against its limits; the histograms are drawn.
TEST_F(Journal, StatsCountFirstPassYieldAndCapability)
{
    auto sim = StartSim();
    const QStringList rows{
        "00.00.00.100;SOUR:FREQ,@VAR01;0;0;0;;;set;1", "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
        "00.00.00.300;SOUR:FREQ?;0;0;0;49.8;51;g;1", "00.00.00.000;END;0;0;0;;;;1"};
    // Unit A fails at 49.5 Hz, then passes; B and C pass at once.
    const struct {
        const char* table;
        const char* serial;
        const char* hertz;
        int status;
    } runs[] = {{"unit.tst", "A", "49.5", 1},
                {"unit.tst", "A", "50", 0},
                {"unit.tst", "B", "50.5", 0},
                {"unit.tst", "C", "50", 0},
                {"other.tst", "D", "50", 0}};
    for (const auto& r : runs)
        EXPECT_EQ(Run({WriteTable(r.table, rows, r.serial), "--set",
                       QStringLiteral("VAR01=%1").arg(r.hertz)}),
                  r.status)
            << err.toStdString();
    ASSERT_EQ(Run({"stats", "--table", File("unit.tst"), "--json", "--plots", File("plots")}), 0)
        << err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(o["runs"].toInt(), 4);
    EXPECT_EQ(o["units"].toInt(), 3);
    EXPECT_EQ(o["first_pass_units"].toInt(), 2);
    const QJsonArray steps = o["steps"].toArray();
    ASSERT_EQ(steps.size(), 2) << out.toStdString(); // the setting row has no limits
    const QJsonObject f = steps[0].toObject();
    EXPECT_EQ(f["step"].toString(), "2");
    EXPECT_EQ(f["count"].toInt(), 4);
    EXPECT_EQ(f["failures"].toInt(), 0);
    EXPECT_NEAR(f["mean"].toDouble(), 50.0, 1e-9);
    EXPECT_NEAR(f["stddev"].toDouble(), 0.408248, 1e-5);
    EXPECT_NEAR(f["cpk"].toDouble(), 0.816497, 1e-5);
    EXPECT_DOUBLE_EQ(f["min"].toDouble(), 49.5);
    EXPECT_EQ(steps[1].toObject()["failures"].toInt(), 1);
    for (const char* file : {"plots/step-2.svg", "plots/step-2.png", "plots/step-3.png"})
        EXPECT_GT(Bytes(file).size(), 100) << file;

    // The unit's two tables apart, though their steps are the same.
    ASSERT_EQ(Run({"stats", "--unit", "TAV 1600", "--csv"}), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith("step,command,comment,count,failures,mean,stddev"));
    EXPECT_TRUE(out.contains("\n2,\"SOUR:FREQ?\",\"f\",4,0,50,")) << out.toStdString();
    EXPECT_TRUE(out.contains("\n2,\"SOUR:FREQ?\",\"f\",1,0,50,,50,50,")) << out.toStdString();
    EXPECT_EQ(Run({"stats", "--since", "yesterday"}), 2);
}

// --serial-advance writes every unit's serial number into the table: the file's hash changes
// from unit to unit, the version (its step lines') stays, and an edited step makes a new one.
// A journal an older program made gets the version's column; its runs count as "unknown".
TEST_F(Journal, SerialNumbersLeaveTheTableVersionAlone)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(JournalFile()).path()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "old");
        db.setDatabaseName(JournalFile());
        ASSERT_TRUE(db.open());
        for (const char* sql :
             {"CREATE TABLE results_schema (version INTEGER NOT NULL)",
              "INSERT INTO results_schema (version) VALUES (1)",
              "CREATE TABLE runs (uuid TEXT PRIMARY KEY, station TEXT, operator TEXT, "
              "program_version TEXT, table_path TEXT, table_name TEXT, table_sha256 TEXT, "
              "reporter TEXT, unit TEXT, serial TEXT, link TEXT, instrument TEXT, started_ms "
              "BIGINT NOT NULL, started_text TEXT, ended_ms BIGINT, ended_text TEXT, duration_ms "
              "BIGINT, verdict TEXT NOT NULL DEFAULT '', reason TEXT, pid BIGINT, sent INTEGER "
              "NOT NULL DEFAULT 0)",
              "CREATE TABLE steps (run_uuid TEXT NOT NULL, ord INTEGER NOT NULL, step TEXT, "
              "command TEXT, comment TEXT, lower_text TEXT, lower_number DOUBLE PRECISION, "
              "upper_text TEXT, upper_number DOUBLE PRECISION, value_text TEXT, value_number "
              "DOUBLE PRECISION, mark TEXT, shown INTEGER, elapsed_ms BIGINT, PRIMARY KEY "
              "(run_uuid, ord))",
              "INSERT INTO runs (uuid, table_name, serial, started_ms, verdict) VALUES "
              "('old-run', 'unit.tst', 'OLD-1', 1, 'passed')"}) {
            QSqlQuery q(db);
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
        }
    }
    QSqlDatabase::removeDatabase("old");

    auto sim = StartSim();
    const QString table = WriteTable(
        "unit.tst", {"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1", "00.00.00.000;END;0;0;0;;;;1"});
    for (int unit = 0; unit < 3; ++unit)
        ASSERT_EQ(Run({table, "--serial-advance", "--quiet"}), 0) << err.toStdString();
    const QByteArray file = Bytes("unit.tst");
    const QString version = QString::fromLatin1(
        QCryptographicHash::hash(file.mid(file.indexOf("\r\n\r\n") + 4), QCryptographicHash::Sha256)
            .toHex());
    EXPECT_EQ(JournalNumber("SELECT COUNT(DISTINCT table_sha256) FROM runs WHERE serial <> "
                            "'OLD-1'"),
              3);
    EXPECT_EQ(
        JournalNumber(
            QStringLiteral("SELECT COUNT(*) FROM runs WHERE table_version = '%1'").arg(version)),
        3);
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE table_version IS NULL"), 1);

    // The upper limit edited: a second version of the same table.
    ASSERT_EQ(Run({WriteTable("unit.tst", {"00.00.00.300;SOUR:FREQ?;0;0;0;49;52;f;1",
                                           "00.00.00.000;END;0;0;0;;;;1"}),
                   "--serial", "0505000200"}),
              0)
        << err.toStdString();
    ASSERT_EQ(Run({"stats", "--table", "unit.tst"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("\nunit.tst: 3 versions\n")) << out.toStdString();
    EXPECT_TRUE(
        out.contains(QStringLiteral("\nunit.tst  version %1  runs 3\n").arg(version.left(12))))
        << out.toStdString();
    EXPECT_TRUE(out.contains("\nunit.tst  version unknown  runs 1\n")) << out.toStdString();

    ASSERT_EQ(Run({"stats", "--version", version.left(6).toUpper(), "--json"}), 0)
        << err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_EQ(o["runs"].toInt(), 3);
    ASSERT_EQ(o["tables"].toArray().size(), 1) << out.toStdString();
    EXPECT_EQ(o["tables"].toArray()[0].toObject()["version"].toString(), version);
    EXPECT_EQ(o["steps"].toArray()[0].toObject()["count"].toInt(), 3);
    EXPECT_EQ(Run({"stats", "--version", "xyz"}), 2);

    ASSERT_EQ(Run({"history", "0505000122"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("  unit.tst  %1  ").arg(version.left(12))))
        << out.toStdString();
    ASSERT_EQ(Run({"history", "OLD-1"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("  unit.tst  unknown  ")) << out.toStdString();
}

// A row the journal refuses costs that row alone: the rows after it and the run's end go in,
// and the refusal is told. A journal that cannot be read is an error, never "no runs".
TEST_F(Journal, ARefusedRowCostsItselfAloneAndReadErrorsAreErrors)
{
    {
        ResultsStore store(JournalFile(), ResultsDatabase::HostStation());
        RunRecorder recorder(store);
        recorder.RunBegins({QString(), {"R", "TAV 1600", "SN-ROW"}, "COM2", QString(), {}, {}, {}});
        const RunRecord& run = recorder.Run();
        RowRecord row = RunRecorder::RowOf({"1", "U", "1", "2", "3", ""}, true, "MEAS:VOLT?");
        row.Order = 1;
        // The same row twice in one batch: the second breaks the key.
        store.AddStep(run.Uuid, row);
        store.AddStep(run.Uuid, row);
        row.Order = 2;
        store.AddStep(run.Uuid, row);
        recorder.RunEnds(RunEnding::Completed, QString());
        const QString error = store.Flush().JournalError;
        EXPECT_TRUE(error.contains("row 1 of run " + run.Uuid + " not kept"))
            << error.toStdString();
    }
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM runs WHERE verdict = 'passed'"), 1);
    EXPECT_EQ(JournalNumber("SELECT COUNT(*) FROM steps"), 2);

    EXPECT_EQ(Run({"history", "SN-ROW"}), 0) << err.toStdString();
    EXPECT_EQ(JournalNumber("DROP TABLE steps"), -1);
    EXPECT_EQ(Run({"history", "SN-ROW"}), 2);
    EXPECT_TRUE(err.contains("cannot be read: no such table: steps")) << err.toStdString();
    EXPECT_EQ(Run({"stats"}), 2);
    EXPECT_TRUE(err.contains("cannot be read")) << err.toStdString();
}

} // namespace
