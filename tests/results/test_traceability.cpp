// Which instrument tested a unit, against which limits, and whether it was in calibration:
// a rack of two models judged by one limits file, each slot by its model's limits; sets that do
// not fit the table refused before a line is sent; an instrument that does not say what it is
// runs on, recorded so; and calibration days from the station's file and the line's server.
#include "tests/results/pg_cluster.h"
#include "tests/results/results_fixture.h"

#include "results/run_recorder.h"
#include "web/line_view_server.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using Traceability = ResultsFixture;

// Step 3 draws 4.6 A from a TAV-1600-PS on the default load, 9.2 A from the TAV-3200-PS on
// half of it.
const QStringList kRows{"00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1", "00.00.00.100;OUTP,1;0;0;0;;;;1",
                        "00.00.00.300;MEAS:CURR?;0;0;0;4.5;4.7;I;1",
                        "00.00.00.100;OUTP,0;0;0;0;;;;1", "00.00.00.000;END;0;0;0;;;;1"};

QJsonObject LastRun(const QString& historyJson)
{
    return QJsonDocument::fromJson(historyJson.toUtf8()).array().first().toObject();
}

TEST_F(Traceability, EachSlotIsJudgedByItsModelsLimitsAndRecordsWhatTestedIt)
{
    auto small = StartSim({"--model", "TAV-1600-PS", "--serial", "S-1600"});
    auto large =
        StartSimOn(3, {"--model", "TAV-3200-PS", "--serial", "S-3200", "--load-ohm", "25"});
    const QString table = WriteTable("unit.tst", kRows, "100");
    const QString version = RunRecorder::HashTable(table).Version;
    const auto limits = [&](const QString& name, const QString& text) {
        QFile f(File(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return f.fileName();
    };
    const QString good = limits("models.lim", "version " + version.left(12) +
                                                  "\nmodels TAV-1600-PS TAV-3200-PS\n"
                                                  "3  4.5 4.7  9.0 9.4\n");
    // The table's own limits fail the larger model; its own limits pass it.
    EXPECT_EQ(Run({table, "--slot", "COM2", "--slot", "COM3"}), 1) << err.toStdString();
    const qsizetype sentBefore = SentLines(*large).size();
    EXPECT_EQ(
        Run({table, "--slot", "COM2", "--slot", "COM3", "--limits", good, "--junit", "j.xml"}), 0)
        << err.toStdString();
    EXPECT_EQ(SentLines(*large).mid(sentBefore).mid(0, 2), kAsked);
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    for (const char* property : {R"(name="instrument.model" value="TAV-1600-PS")",
                                 R"(name="instrument.serial" value="S-3200")",
                                 R"(name="limits.model" value="TAV-3200-PS")"})
        EXPECT_TRUE(junit.contains(property)) << property << "\n" << junit.toStdString();
    EXPECT_EQ(junit.count(R"(name="limits.version" value=")"), 2);

    // The second slot's unit, as history tells it months later.
    ASSERT_EQ(Run({"history", "101", "--json"}), 0) << err.toStdString();
    const QJsonObject run = LastRun(out);
    EXPECT_EQ(run["instrument"].toObject()["model"].toString(), "TAV-3200-PS");
    EXPECT_EQ(run["instrument"].toObject()["serial"].toString(), "S-3200");
    EXPECT_EQ(run["instrument"].toObject()["manufacturer"].toString(), "KELM Electronic GmbH");
    EXPECT_EQ(run["limits"].toObject()["model"].toString(), "TAV-3200-PS");
    const QString limitsVersion = run["limits"].toObject()["version"].toString();
    EXPECT_EQ(limitsVersion.size(), 64);
    ASSERT_EQ(Run({"history", "--instrument", "S-3200"}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains("serial 101") && !out.contains("serial 100")) << out.toStdString();

    // Statistics keep runs judged by other limits apart, and by model when asked.
    const auto groups = [&](const QStringList& extra) {
        EXPECT_EQ(Run(QStringList{"stats", "--table", "unit.tst", "--json"} + extra), 0)
            << err.toStdString();
        QStringList found;
        for (const QJsonValue g : QJsonDocument::fromJson(out.toUtf8()).array())
            found << g["model"].toString() + "/" + g["limits"].toString() + "/" +
                         g["limits_model"].toString() + "/" + QString::number(g["runs"].toInt());
        return found;
    };
    // Each model's limits of the file apart: their steps' limits and Cpk mean nothing mixed.
    EXPECT_EQ(groups({}),
              QStringList({"///2", "/models.lim/TAV-1600-PS/1", "/models.lim/TAV-3200-PS/1"}));
    EXPECT_EQ(groups({"--by-model"}), QStringList({"TAV-1600-PS///1", "TAV-3200-PS///1",
                                                   "TAV-1600-PS/models.lim/TAV-1600-PS/1",
                                                   "TAV-3200-PS/models.lim/TAV-3200-PS/1"}));

    // The line's view keeps them apart likewise: the first set unless one is chosen.
    LineViewServer::Options view;
    view.Source.JournalPath = JournalFile();
    LineViewServer server(view);
    const auto page = [&](const QString& query) {
        const auto answer = server.Respond(
            "GET", QUrl("/api/version?table=unit.tst&version=" + version.left(12) + query), {},
            false, true);
        EXPECT_EQ(answer.Status, 200) << answer.Body.toStdString();
        return QJsonDocument::fromJson(answer.Body).object();
    };
    EXPECT_EQ(page({})["limit_sets"].toArray().size(), 3);
    EXPECT_EQ(page({})["steps"].toArray().first()["upper"].toDouble(), 4.7);
    const QJsonObject larger = page("&model=TAV-3200-PS&limits=" + limitsVersion.left(12));
    EXPECT_EQ(larger["runs"].toInt(), 1);
    EXPECT_EQ(larger["steps"].toArray().first()["lower"].toDouble(), 9.0);

    // Sets that do not fit are refused before anything is sent, each with its reason.
    const QString moved = WriteTable("moved.tst", QStringList{kRows[0]} + kRows, "U9");
    const struct {
        QString Table, Limits, Why;
    } refused[] = {
        {moved, good,
         "made for table version " + version.left(12) + ", not for this table's version " +
             RunRecorder::HashTable(moved).Version.left(12)},
        {table, limits("short.lim", "version " + version.left(12) + "\nmodels A\n"),
         "give no limits for the checked step 3"},
        {table, limits("extra.lim", "version " + version.left(12) + "\nmodels A\n3 1 2\n4 1 2\n"),
         "limits for step 4, which checks nothing"},
        {table, limits("count.lim", "version " + version.left(12) + "\nmodels A B\n3 1 2 3\n"),
         "line 3: step 3 needs a lower and an upper limit for each of the 2 models"},
        {table, limits("none.lim", "models A\n3 1 2\n"), "no \"version\" line"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.Why.toStdString());
        const qsizetype sent = SentLines(*small).size();
        EXPECT_EQ(Run({c.Table, "--limits", c.Limits}), 2);
        EXPECT_TRUE(err.contains(c.Why)) << err.toStdString();
        EXPECT_EQ(SentLines(*small).size(), sent);
    }
    // A model the set does not name: asked what it is, and nothing more.
    auto other = StartSimOn(4, {"--model", "TAV-0400-PS"});
    EXPECT_EQ(Run({table, "--port", "COM4", "--limits", good}), 2);
    EXPECT_TRUE(err.contains("limits models.lim name no model TAV-0400-PS (they name "
                             "TAV-1600-PS, TAV-3200-PS)"))
        << err.toStdString();
    EXPECT_EQ(SentLines(*other), kAsked);
}

// An instrument without "*idn?" is tested all the same and recorded as unidentified; its rows
// are judged by their own replies.
TEST_F(Traceability, AnInstrumentThatDoesNotSayWhatItIsRunsOnUnidentified)
{
    auto sim = StartSim({"--no-identification"});
    ASSERT_EQ(Run({WriteTable("unit.tst", kRows, "U1"), "--junit", "j.xml"}), 0)
        << err.toStdString();
    EXPECT_EQ(SentLines(*sim).mid(0, 2), QStringList({"*idn?", "SOUR:VOLTAC,230"}));
    EXPECT_TRUE(Bytes("j.xml").contains(R"(name="instrument" value="unidentified")"));
    ASSERT_EQ(Run({"history", "U1", "--json"}), 0) << err.toStdString();
    EXPECT_EQ(LastRun(out)["instrument"].toObject()["identification"].toString(), "unidentified");
}

TEST_F(Traceability, CalibrationIsWarnedRecordedOrRequiredAndTheLinesListHolds)
{
    auto sim = StartSim();
    const QString table = WriteTable("unit.tst", kRows, "U1");
    const QString id = "KELM Electronic GmbH,TAV-1600-PS,0505000120,";
    const auto day = [](int fromToday) {
        return QDate::currentDate().addDays(fromToday).toString(Qt::ISODate);
    };
    ASSERT_EQ(Run({"instruments", "set", id + day(-1)}), 0) << err.toStdString();
    // Past its day: warned and recorded, or refused when calibration is required.
    EXPECT_EQ(Run({table, "--pdf", "u.pdf"}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("instrument: calibration ran out on " + day(-1))) << err.toStdString();
    ASSERT_EQ(Run({"history", "U1", "--json"}), 0);
    EXPECT_EQ(LastRun(out)["calibration"].toString(), "calibration ran out on " + day(-1));
    const qsizetype sent = SentLines(*sim).size();
    EXPECT_EQ(Run({table, "--require-calibration"}), 2);
    EXPECT_TRUE(err.contains("not in calibration (--require-calibration): instrument: "
                             "calibration ran out on " +
                             day(-1)))
        << err.toStdString();
    EXPECT_EQ(SentLines(*sim).mid(sent), kAsked);
    // Within two weeks of its day: a notice, and the run goes on.
    ASSERT_EQ(Run({"instruments", "set", id + day(3)}), 0) << err.toStdString();
    EXPECT_EQ(Run({table, "--require-calibration"}), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("calibration runs out on " + day(3) + " (in 3 days)"))
        << err.toStdString();

    // The line's list holds over the station's: past there, refused here.
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    ASSERT_EQ(Run({"instruments", "set", id + day(-10), "--db", cluster.Uri()}), 0)
        << err.toStdString();
    ASSERT_EQ(Run({"instruments", "--db", cluster.Uri()}), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(id + day(-10))) << out.toStdString();
    EXPECT_EQ(Run({table, "--db", cluster.Uri(), "--require-calibration"}), 2);
    EXPECT_TRUE(err.contains("calibration ran out on " + day(-10))) << err.toStdString();
    // Not listed at all: calibration cannot be shown.
    ASSERT_EQ(Run({"instruments", "remove", id.chopped(1), "--db", cluster.Uri()}), 0);
    ASSERT_EQ(Run({"instruments", "remove", id.chopped(1)}), 0);
    EXPECT_EQ(Run({table, "--db", cluster.Uri(), "--require-calibration"}), 2);
    EXPECT_TRUE(err.contains("instrument: not in the list of instruments")) << err.toStdString();
}

} // namespace
