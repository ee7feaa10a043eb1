// Every tavtest run lands in the station's journal: its rows as they come, hidden ones too,
// its end last; a run whose program dies stays "incomplete" with what it recorded, and
// history and stats read it all back.
#include "tests/results/results_fixture.h"
#include "tests/support/qt_wait.h"

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
    const QString table = WriteTable(
        "unit.tst", {"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;frequency;1",
                     "00.00.00.300;SOUR:FREQ?;0;0;0;51;52;hidden;0",
                     "00.00.00.100;SOUR:VOLT @VAR01;0;0;0;;;set;1",
                     "00.00.30.000;OUTP,0;0;0;0;;;wait;1", "00.00.00.000;END;0;0;0;;;;1"},
        "SN-KILL");
    Start({table, "--set", "VAR01=230"});
    ASSERT_TRUE(WaitUntil([&] { return JournalNumber("SELECT COUNT(*) FROM steps") >= 4; },
                          60000))
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
    const QString again = WriteTable("unit.tst",
                                     {"00.00.00.300;SOUR:FREQ?;0;0;0;51;52;frequency;1",
                                      "00.00.00.000;END;0;0;0;;;;1"},
                                     "SN-KILL");
    EXPECT_EQ(Run({again}), 1) << err.toStdString();
    EXPECT_EQ(Run({"history", "SN-KILL"}), 0) << err.toStdString();
    const QStringList lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << out.toStdString();
    EXPECT_TRUE(lines[0].contains(QRegularExpression(" failed +")));
    EXPECT_TRUE(lines[1].contains("step 1  SOUR:FREQ?  frequency  50.000 [51.000 .. 52.000]"));
    EXPECT_TRUE(lines[2].contains(QRegularExpression(" incomplete +")));
    EXPECT_TRUE(lines[3].contains("step 2  SOUR:FREQ?  hidden")) << out.toStdString();
    EXPECT_EQ(Run({"history", "NO-SUCH-UNIT"}), 1);
}

// Statistics over known values: yield counts each unit's first run only; mean, standard
// deviation and Cpk per step against its limits; the histograms are drawn.
TEST_F(Journal, StatsCountFirstPassYieldAndCapability)
{
    auto sim = StartSim();
    const QStringList rows{"00.00.00.100;SOUR:FREQ,@VAR01;0;0;0;;;set;1",
                           "00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
                           "00.00.00.300;SOUR:FREQ?;0;0;0;49.8;51;g;1",
                           "00.00.00.000;END;0;0;0;;;;1"};
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

    ASSERT_EQ(Run({"stats", "--unit", "TAV 1600", "--csv"}), 0) << err.toStdString();
    EXPECT_TRUE(out.startsWith("step,command,comment,count,failures,mean,stddev"));
    EXPECT_TRUE(out.contains("\n2,\"SOUR:FREQ?\",\"f\",5,0,50,")) << out.toStdString();
    EXPECT_EQ(Run({"stats", "--since", "yesterday"}), 2);
}

} // namespace
