// Recording and tracing the main window's polling of the simulated instrument. The poll timer is
// ticked by the tests, each tick waiting for the instrument's answer.
#include "record/csv_recorder.h"
#include "record/measurement_recording.h"
#include "tests/panel/panel_fixture.h"
#include "tests/record/csv_check.h"

#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace {

class RecordingEndToEnd : public PanelFixture {
protected:
    // 6.17 V on the simulator's 50 ohm load: 123.4 mA, which it prints in milliamperes.
    void SetOutputTo617mV()
    {
        form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,6.17\n");
        TickThrough(29);
        TickThrough(43);
        form->Cycle().OperatorCommand.Post("OUTP,1\n");
        TickThrough(29);
        TickThrough(43);
    }
    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(RecordingEndToEnd, OneRowPerPassInBaseUnitsUntilDisconnect)
{
    auto sim = StartSimAndWindows();
    ConnectDriven();
    SetOutputTo617mV();
    const QString path = CwdFile("run.csv");
    const size_t linesBefore = sim->Received().size();
    ASSERT_TRUE(form->StartRecording(path));
    EXPECT_EQ(form->RecordingStatus(), "Recording run.csv: 0 rows");

    constexpr int kPasses = 4;
    for (int pass = 1; pass <= kPasses; ++pass) {
        TickThrough(28);
        EXPECT_EQ(form->Recording().Recorder().Rows(), pass);
    }
    EXPECT_EQ(Edit("Edit2")->text(), "123.4mA");
    EXPECT_EQ(form->RecordingStatus(), QStringLiteral("Recording run.csv: %1 rows").arg(kPasses));
    // Half a pass, then Disconnect: the open pass is not written.
    TickThrough(5);
    form->BitBtn8Click();
    EXPECT_FALSE(form->Recording().Recorder().Recording());
    EXPECT_EQ(form->RecordingStatus(), QStringLiteral("Recorded run.csv: %1 rows").arg(kPasses));

    const CsvCheck check = CsvCheck::Read(Bytes(path));
    ASSERT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
    ASSERT_EQ(check.rows.size(), kPasses);
    double lastSeconds = -1.0;
    for (const auto& row : check.rows) {
        EXPECT_DOUBLE_EQ(row[2].toDouble(), 6.17);   // "6.170V"
        EXPECT_DOUBLE_EQ(row[3].toDouble(), 0.1234); // "123.4mA"
        EXPECT_DOUBLE_EQ(row[4].toDouble(), 0.659);  // "0.659W", at 30 degrees
        EXPECT_EQ(row[9], "") << "single-phase: no phase 2";
        EXPECT_EQ(row[23], "1");
        EXPECT_EQ(row[24], "0");
        EXPECT_GT(row[1].toDouble(), lastSeconds);
        lastSeconds = row[1].toDouble();
    }
    // Each row stands for one status query the instrument answered in a complete pass.
    int statusQueries = 0;
    const auto simLines = sim->Received();
    for (size_t i = linesBefore; i < simLines.size(); ++i)
        statusQueries += simLines[i].line == "*tav?";
    EXPECT_EQ(statusQueries, kPasses + 1);
    // The plot kept the same passes since Connect.
    EXPECT_GE(form->Recording().Plot().Size(), static_cast<size_t>(kPasses));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RecordingEndToEnd, TraceHoldsEveryPollLineOnTheSimulatorsClock)
{
    const QString tracePath = CwdFile("poll.trace");
    ASSERT_TRUE(state.Trace.Open(tracePath));
    auto sim = StartSimAndWindows();
    ConnectDriven();
    TickThrough(9);
    TickThrough(9);
    state.Trace.Close();

    struct Traced {
        qint64 micros;
        QByteArray direction, port, text;
    };
    std::vector<Traced> sent, received;
    for (const QByteArray& line : Bytes(tracePath).split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 4)
            continue;
        (f[1] == "TX" ? sent : received).push_back({f[0].toLongLong(), f[1], f[2], f[3]});
    }
    const auto simLines = sim->Received();
    ASSERT_GE(simLines.size(), 20u);
    ASSERT_EQ(sent.size(), simLines.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].port, "COM2");
        EXPECT_EQ(QString::fromLatin1(sent[i].text), simLines[i].line + "\\n");
        // One clock on both sides: the simulator logs each line after it was sent, and the
        // answer comes back after the simulator had the query.
        EXPECT_GE(simLines[i].micros, sent[i].micros) << i;
        EXPECT_LT(simLines[i].micros - sent[i].micros, 1000000) << i;
    }
    ASSERT_EQ(received.size(), sent.size()) << "every query answered once";
    for (size_t i = 0; i < received.size(); ++i) {
        EXPECT_TRUE(received[i].text.endsWith("\\r\\n"));
        EXPECT_GE(received[i].micros, simLines[i].micros) << i;
    }
}

TEST_F(RecordingEndToEnd, MenuEntriesFollowTheSetupMenuAndClosingEndsTheRecording)
{
    auto sim = StartSimAndWindows();
    QStringList menus, setup;
    for (QAction* menu : form->menuBar()->actions()) {
        menus << menu->text();
        if (menu->text() == "Setup")
            for (QAction* entry : menu->menu()->actions())
                setup << entry->text();
    }
    EXPECT_EQ(menus, QStringList({"Test", "Sequenz", "Setup", "Info"}));
    EXPECT_EQ(setup, QStringList({"I/O Config", "Record\u2026", "Trend"}));

    const QString path = CwdFile("closing.csv");
    ConnectDriven();
    ASSERT_TRUE(form->StartRecording(path));
    TickThrough(28);
    TickThrough(28);
    // An existing file is refused without the dialog's question.
    EXPECT_FALSE(form->StartRecording(path));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_FALSE(form->Recording().Recorder().Recording()) << "the old recording ended first";
    messages.clear();
    ASSERT_TRUE(form->StartRecording(CwdFile("closing2.csv")));
    TickThrough(28);
    form->close();
    EXPECT_FALSE(form->Recording().Recorder().Recording());
    EXPECT_EQ(CsvCheck::Read(Bytes(CwdFile("closing2.csv"))).rows.size(), 1);
    EXPECT_EQ(CsvCheck::Read(Bytes(path)).rows.size(), 2) << "the refused start kept the file";
}

} // namespace
