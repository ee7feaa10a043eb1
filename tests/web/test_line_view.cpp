// tavtest serve over a real journal and a real PostgreSQL server: its JSON against tavtest
// stats, the line's state, parameters it refuses, a server that stops and comes back, values
// escaped, and the viewer token.
#include "tests/web/line_view_fixture.h"

#include "web/line_view_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class LineView : public LineViewFixture {
protected:
    QJsonObject Api(const QString& target)
    {
        const Http http = Get(target);
        EXPECT_EQ(http.Status, 200) << target.toStdString() << ": " << http.Text().toStdString();
        return QJsonDocument::fromJson(http.Body).object();
    }

    // The figures of the view's JSON equal those tavtest stats --json gives for the same runs.
    void ExpectStatsAgree(const QStringList& source)
    {
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        ASSERT_EQ(Run(QStringList{QStringLiteral("stats"), QStringLiteral("--json"),
                                  QStringLiteral("--table"), QStringLiteral("psu.tst"),
                                  QStringLiteral("--version"), kVersion.left(12),
                                  QStringLiteral("--since"), today} +
                      source),
                  0)
            << err.toStdString();
        const QJsonObject stats = QJsonDocument::fromJson(out.toUtf8()).object();
        const QJsonObject view =
            Api(QStringLiteral("/api/version?table=psu.tst&version=%1&since=%2&last=5")
                    .arg(kVersion.left(12), today));
        for (const char* field :
             {"runs", "not_ended", "units", "first_pass_units", "final_pass_units", "final_yield"})
            EXPECT_EQ(view.value(field), stats.value(field)) << field;
        EXPECT_DOUBLE_EQ(view.value("first_pass_yield").toDouble(),
                         stats.value("first_pass_yield").toDouble());
        // 13 units, each passed in the end; 3 failed first.
        EXPECT_EQ(view.value("units").toInt(), 13);
        EXPECT_DOUBLE_EQ(view.value("final_yield").toDouble(), 100.0);
        const QJsonArray viewSteps = view.value("steps").toArray();
        const QJsonArray statsSteps = stats.value("steps").toArray();
        ASSERT_EQ(viewSteps.size(), 2);
        ASSERT_EQ(viewSteps.size(), statsSteps.size());
        for (qsizetype i = 0; i < viewSteps.size(); ++i) {
            const QJsonObject a = viewSteps[i].toObject();
            const QJsonObject b = statsSteps[i].toObject();
            for (const QString& field : b.keys())
                EXPECT_EQ(a.value(field), b.value(field))
                    << "step " << i << " " << field.toStdString();
        }
        // Cp is blank where Cpk is, and the control chart draws the last five values.
        EXPECT_EQ(viewSteps[0].toObject().value("cp").isNull(),
                  viewSteps[0].toObject().value("cpk").isNull());
        const Http chart = Get(viewSteps[1].toObject().value("control_chart").toString());
        EXPECT_EQ(chart.Status, 200);
        EXPECT_TRUE(chart.Text().contains(QStringLiteral("the last 5 values")))
            << chart.Text().left(300).toStdString();

        // Today's first-pass yield on the line page is tavtest's over today's runs.
        const QJsonArray yield = Api(QStringLiteral("/api/line")).value("yield_today").toArray();
        ASSERT_EQ(yield.size(), 1);
        EXPECT_EQ(yield[0].toObject().value("units"), stats.value("units"));
        EXPECT_DOUBLE_EQ(yield[0].toObject().value("first_pass_yield").toDouble(),
                         stats.value("first_pass_yield").toDouble());
    }

    void ExpectLineState(bool server)
    {
        const QJsonObject line = Api(QStringLiteral("/api/line"));
        QMap<QString, QJsonObject> stations;
        for (const QJsonValue& s : line.value("stations").toArray())
            stations.insert(s.toObject().value("station").toString(), s.toObject());
        ASSERT_EQ(stations.keys(), (QStringList{"line-1", "line-2", "line-3"}));
        EXPECT_EQ(stations["line-1"].value("state").toString(), QStringLiteral("idle"));
        EXPECT_EQ(stations["line-1"].value("runs_today").toInt(), 5);
        EXPECT_EQ(stations["line-2"].value("last").toObject().value("serial").toString(),
                  QLatin1String(kScript));
        EXPECT_EQ(stations["line-2"].value("state").toString(),
                  server ? QStringLiteral("last seen") : QStringLiteral("idle"));
        const QJsonObject running = stations["line-3"];
        EXPECT_EQ(running.value("state").toString(), QStringLiteral("running"));
        EXPECT_EQ(running.value("current").toObject().value("serial").toString(),
                  QStringLiteral("SN-line-3-9"));
        EXPECT_EQ(running.value("current").toObject().value("step").toString(),
                  QStringLiteral("2"));
        // Its last unit stays in view while the next runs.
        EXPECT_EQ(running.value("last").toObject().value("serial").toString(),
                  QStringLiteral("SN-line-3-4"));
        // Step 2 failed three times this shift (once a station), once yesterday.
        const QJsonArray failed = line.value("failed_steps").toArray();
        ASSERT_EQ(failed.size(), 1);
        EXPECT_EQ(failed[0].toObject().value("step").toString(), QStringLiteral("2"));
        EXPECT_EQ(failed[0].toObject().value("failures").toInt(), 3);

        // A station's runs, newest first, a page at a time; a unit's with its report rows.
        const QJsonObject station = Api(QStringLiteral("/api/station?name=line-2&page=1"));
        EXPECT_EQ(station.value("runs").toArray().size(), 7);
        EXPECT_FALSE(station.value("more").toBool());
        EXPECT_EQ(station.value("runs").toArray()[0].toObject().value("serial").toString(),
                  QLatin1String(kScript));
        const QJsonObject unit = Api(QStringLiteral("/api/unit?serial=SN-line-1-2"));
        const QJsonArray runs = unit.value("runs").toArray();
        ASSERT_EQ(runs.size(), 2);
        EXPECT_EQ(runs[0].toObject().value("verdict").toString(), QStringLiteral("passed"));
        const QJsonArray failedRow = runs[1].toObject().value("rows").toArray()[1].toArray();
        EXPECT_EQ(failedRow[3].toString(), QStringLiteral("1.250"));
        EXPECT_EQ(failedRow[5].toString(), QStringLiteral("Error!"));
    }
};

TEST_F(LineView, JournalAnswersAsTavtestStatsCounts)
{
    // The station's own journal, as a station without a server has it (its runs recorded under
    // three names, as tavtest --station does).
    WriteJournal(ResultsDatabase::HostStation());
    ASSERT_TRUE(StartView({}));
    ExpectStatsAgree({});
    ExpectLineState(false);
}

TEST_F(LineView, ServerAnswersAsTavtestStatsAndComesBackAfterAStop)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    WriteServer(cluster.Uri());
    // The view reads as a role that may only read, as the README sets it up.
    cluster.Number(QStringLiteral("CREATE ROLE tavview LOGIN"));
    cluster.Number(QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO tavview"));
    QUrl reader(cluster.Uri());
    reader.setUserName(QStringLiteral("tavview"));
    ASSERT_TRUE(StartView({QStringLiteral("--db"), reader.toString()}));
    ExpectStatsAgree({QStringLiteral("--db"), cluster.Uri()});
    ExpectLineState(true);

    ASSERT_TRUE(cluster.Stop(&error)) << error.toStdString();
    QThread::msleep(1200); // past the refresh period: the next answer is read anew
    const Http down = Get(QStringLiteral("/"));
    EXPECT_EQ(down.Status, 200);
    static const QRegularExpression said(
        QStringLiteral("results server not reachable since \\d\\d:\\d\\d<"));
    EXPECT_TRUE(said.match(down.Text()).hasMatch()) << down.Text().toStdString();
    EXPECT_TRUE(down.Text().contains(QStringLiteral("data-station=\"line-3\"")))
        << "the last data stays in view";
    EXPECT_EQ(Get(QStringLiteral("/api/line")).Status, 503);

    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    QThread::msleep(1200);
    const Http back = Get(QStringLiteral("/"), "X-Tav-Part: main\r\n");
    EXPECT_EQ(back.Status, 200);
    EXPECT_FALSE(back.Text().contains(QStringLiteral("not reachable")))
        << back.Text().toStdString();
    EXPECT_TRUE(back.Text().startsWith(QStringLiteral("<section>"))) << "the main part alone";
}

TEST_F(LineView, BadRequestsAreRefusedWithOneLine)
{
    WriteJournal(QStringLiteral("line-1"));
    ASSERT_TRUE(StartView({QStringLiteral("--station"), QStringLiteral("line-1")}));
    const struct {
        const char* Target;
        int Status;
        const char* Reason;
    } cases[] = {
        {"/etc/passwd", 404, "/etc/passwd: no such page"},
        {"/static/../../etc/passwd", 404, "no such page"},
        {"/api/nothing", 404, "no such page"},
        {"/?x=1", 400, "x: not a parameter of /"},
        {"/version?table=psu.tst", 400, "/version needs the parameter version"},
        {"/version?table=psu.tst&version=zz", 400, "version zz: not the start of a table version"},
        {"/api/version?table=psu.tst&version=5eed&since=yesterday", 400,
         "since yesterday: not a date (YYYY-MM-DD)"},
        {"/version?table=psu.tst&version=5eed&last=1", 400, "last 1: not a number of values"},
        {"/station?name=line-1&page=0", 400, "page 0: not a page number"},
        {"/station?name=line-1&name=line-2", 400, "name: given twice"},
        {"/unit?serial=%01", 400, "serial: not a valid value"},
        {"/plot/histogram.svg?table=psu.tst&version=5eed&step=9", 404,
         "step 9: not a checked step"},
    };
    for (const auto& c : cases) {
        const Http http = Get(QString::fromLatin1(c.Target));
        EXPECT_EQ(http.Status, c.Status) << c.Target;
        EXPECT_TRUE(http.Text().contains(QLatin1String(c.Reason)))
            << c.Target << ": " << http.Text().toStdString();
        EXPECT_EQ(http.Text().count(QLatin1Char('\n')), 1) << c.Target;
    }
    // A page elsewhere whose name was made to point at this machine reads nothing.
    const Http rebound = Get(QStringLiteral("/api/line"), "Host: line-view.example.com\r\n");
    EXPECT_EQ(rebound.Status, 403);
    EXPECT_EQ(Get(QStringLiteral("/api/line"),
                  QStringLiteral("Host: localhost:%1\r\n").arg(port).toLatin1())
                  .Status,
              200);
}

TEST_F(LineView, AUnitNamedScriptIsShownAsText)
{
    WriteJournal(QStringLiteral("line-1"));
    ASSERT_TRUE(StartView({QStringLiteral("--station"), QStringLiteral("line-1")}));
    const QString escaped = QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;");
    for (const QString& target :
         {QStringLiteral("/"), QStringLiteral("/station?name=line-2"),
          QStringLiteral("/unit?serial=%3Cscript%3Ealert(1)%3C%2Fscript%3E")}) {
        const Http http = Get(target);
        EXPECT_EQ(http.Status, 200) << target.toStdString();
        EXPECT_FALSE(http.Text().contains(QStringLiteral("<script>alert"))) << target.toStdString();
        EXPECT_TRUE(http.Text().contains(escaped)) << target.toStdString();
    }
    // Its command names the steps (their newest ended run's), in the plots' titles too.
    for (const char* plot : {"histogram", "control"}) {
        const Http svg =
            Get(QStringLiteral("/plot/%1.svg?table=psu.tst&version=5eed&step=1").arg(plot));
        EXPECT_EQ(svg.Status, 200);
        EXPECT_FALSE(svg.Text().contains(QStringLiteral("<script"))) << svg.Text().toStdString();
        EXPECT_TRUE(svg.Text().contains(QStringLiteral("&lt;script&gt;"))) << plot;
    }
}

TEST_F(LineView, OtherMachinesNeedTheViewerToken)
{
    // Listening for the line's network without a token is refused before anything starts.
    ASSERT_EQ(
        Run({QStringLiteral("serve"), QStringLiteral("--listen"), QStringLiteral("0.0.0.0:0")}), 2);
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("--token-file FILE, or --open"))) << err.toStdString();

    // The token's way in, as a viewer on another machine goes it.
    LineViewServer::Options options;
    options.Source.JournalPath = File(QStringLiteral("no-journal.sqlite"));
    options.Token = QStringLiteral("line-3-viewers-0123456789");
    LineViewServer server(options);
    const auto ask = [&](const char* url, const QByteArray& cookies = {}) {
        return server.Respond(QStringLiteral("GET"), QUrl(QString::fromLatin1(url)), cookies, false,
                              false);
    };
    EXPECT_EQ(ask("/").Status, 401);
    EXPECT_TRUE(ask("/").Body.contains("/?token="));
    EXPECT_EQ(ask("/?token=line-3-viewers-0123456788").Status, 401);
    EXPECT_EQ(ask("/", "tav_view=line-3-viewers-012345678").Status, 401);
    const LineViewServer::Answer in = ask("/station?name=a&token=line-3-viewers-0123456789");
    EXPECT_EQ(in.Status, 303);
    QMap<QByteArray, QByteArray> headers;
    for (const auto& [name, value] : in.Headers)
        headers.insert(name, value);
    EXPECT_EQ(headers.value("Location"), "/station?name=a");
    const QByteArray cookie = headers.value("Set-Cookie");
    EXPECT_TRUE(cookie.contains("HttpOnly") && cookie.contains("SameSite=Strict")) << cookie.data();
    EXPECT_EQ(ask("/", cookie.left(cookie.indexOf(';'))).Status, 200);
    // This machine needs none.
    EXPECT_EQ(
        server.Respond(QStringLiteral("GET"), QUrl(QStringLiteral("/")), {}, false, true).Status,
        200);
}

} // namespace

namespace {

TEST_F(LineView, AStationShowsRunningWhileItsRunLastsAndIdleAfter)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    // The line's server as it is in service, with its tables: the view reads them from its first
    // request on, not only once the run below has made them.
    const QString made = QUuid::createUuid().toString();
    ASSERT_TRUE(ResultsDatabase::OpenServer(made, cluster.Uri(), &error)) << error.toStdString();
    ResultsDatabase::Close(made);
    auto sim = StartSim();
    ASSERT_TRUE(StartView({QStringLiteral("--db"), cluster.Uri()}));
    // A row that waits 6 s: the station's live entry is written and renewed meanwhile.
    Start({WriteTable(QStringLiteral("slow.tst"),
                      {"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
                       "00.00.06.000;SOUR:FREQ?;0;0;0;49;51;f;1", "00.00.00.000;END;0;0;0;;;;1"},
                      QStringLiteral("LIVE-1")),
           QStringLiteral("--db"), cluster.Uri(), QStringLiteral("--station"),
           QStringLiteral("live-1")});
    auto station = [&] {
        for (const QJsonValue& s : Api(QStringLiteral("/api/line")).value("stations").toArray())
            if (s.toObject().value("station") == QStringLiteral("live-1"))
                return s.toObject();
        return QJsonObject();
    };
    QJsonObject seen;
    for (int i = 0; i < 60 && seen.value("state") != QStringLiteral("running"); ++i) {
        QThread::msleep(200);
        seen = station();
    }
    EXPECT_EQ(seen.value("state").toString(), QStringLiteral("running"));
    EXPECT_EQ(seen.value("current").toObject().value("serial").toString(),
              QStringLiteral("LIVE-1"));
    EXPECT_EQ(seen.value("current").toObject().value("table").toString(),
              QStringLiteral("slow.tst"));
    ASSERT_EQ(Finish(), 0) << err.toStdString();
    // Its end cleared the entry; the unit stays in view as the last one.
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM station_now WHERE station = 'live-1' AND "
                             "run_uuid = ''"),
              1);
    QThread::msleep(1200);
    seen = station();
    EXPECT_EQ(seen.value("state").toString(), QStringLiteral("idle"));
    EXPECT_EQ(seen.value("last").toObject().value("serial").toString(), QStringLiteral("LIVE-1"));
    EXPECT_EQ(seen.value("last").toObject().value("verdict").toString(), QStringLiteral("passed"));
}

// A rack runs a unit on each slot at once: the line shows every slot's run, each with its slot,
// where one entry per station showed whichever slot wrote last; each slot's end clears its own.
TEST_F(LineView, ARacksSlotsEachShowTheirRun)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    auto sim = StartSim();
    auto second = StartSimOn(3);
    ASSERT_TRUE(StartView({QStringLiteral("--db"), cluster.Uri()}));
    Start({WriteTable(QStringLiteral("slow.tst"),
                      {"00.00.00.300;SOUR:FREQ?;0;0;0;49;51;f;1",
                       "00.00.06.000;SOUR:FREQ?;0;0;0;49;51;f;1", "00.00.00.000;END;0;0;0;;;;1"},
                      QStringLiteral("RACK-UNIT")),
           QStringLiteral("--slot"), QStringLiteral("COM2"), QStringLiteral("--slot"),
           QStringLiteral("COM3"), QStringLiteral("--db"), cluster.Uri(),
           QStringLiteral("--station"), QStringLiteral("rack-1")});
    auto station = [&] {
        for (const QJsonValue& s : Api(QStringLiteral("/api/line")).value("stations").toArray())
            if (s.toObject().value("station") == QStringLiteral("rack-1"))
                return s.toObject();
        return QJsonObject();
    };
    QJsonObject seen;
    for (int i = 0; i < 60 && seen.value("running").toArray().size() < 2; ++i) {
        QThread::msleep(200);
        seen = station();
    }
    EXPECT_EQ(seen.value("state").toString(), QStringLiteral("running"));
    QStringList slots;
    for (const QJsonValue& run : seen.value("running").toArray()) {
        slots << run.toObject().value("slot").toString();
        EXPECT_EQ(run.toObject().value("table").toString(), QStringLiteral("slow.tst"));
    }
    slots.sort();
    EXPECT_EQ(slots, (QStringList{"COM2", "COM3"}));
    const QString page = Get(QStringLiteral("/")).Text();
    EXPECT_TRUE(page.contains(QStringLiteral("COM2: running")) &&
                page.contains(QStringLiteral("COM3: running")))
        << page.toStdString();
    ASSERT_EQ(Finish(), 0) << err.toStdString();
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM slot_now WHERE station = 'rack-1' AND "
                             "run_uuid = ''"),
              2);
    EXPECT_EQ(cluster.Number("SELECT COUNT(*) FROM station_now WHERE station = 'rack-1'"), 0);
    QThread::msleep(1200);
    EXPECT_EQ(station().value("state").toString(), QStringLiteral("idle"));
}

} // namespace
