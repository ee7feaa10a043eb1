// The program's start-up state and reply route with no window at all, as a run without windows
// has them.
#include "link/link_settings.h"
#include "panel/direct_send.h"
#include "panel/program_start.h"
#include "program/program_state.h"
#include "tests/support/loopback.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

struct LineLog : ReplySink {
    void ParseReply(const QString& text) override { lines << text; }
    QStringList lines;
};

struct Evaluations : ReplyListener {
    explicit Evaluations(ProgramState& s) : state(s) {}
    void EvaluateReply(int) override { seen << state.Link.ReplyLine; }
    ProgramState& state;
    QList<QByteArray> seen;
};

class ProgramStartTest : public ::testing::Test {
protected:
    ProgramStartTest() : oldCwd(QDir::currentPath()) { QDir::setCurrent(cwd.path()); }
    ~ProgramStartTest() override
    {
        DetachPortHandlers(state.Link);
        for (int n = 1; n <= LinkState::kPortCount; ++n)
            state.Link.ComPort(n).SetActive(false);
        QDir::setCurrent(oldCwd);
    }

    QTemporaryDir cwd;
    QString oldCwd;
    PortSandbox sandbox;
    ProgramState state;
    LineLog log;
};

} // namespace

// TAVCON.cfg names COM3; the instrument there answers, and every line goes to the reply
// handling, and into ReplyLine and the evaluation once a test listens.
TEST_F(ProgramStartTest, ConfiguredPortOpensAndRepliesTakeTheRoute)
{
    LinkSettings saved;
    saved.PortText = QStringLiteral("3");
    ASSERT_TRUE(WriteLinkConfig(QDir(cwd.path()).filePath("TAVCON.cfg"), saved));
    const QString link = QString::fromStdString(sandbox.LinkDir()) + "/COM3";
    TavsimProcess sim(link, QDir(cwd.path()).filePath("tavsim.log"));
    ASSERT_TRUE(sim.Ready());

    state.Link.Replies = &log;
    int lost = 0;
    EXPECT_TRUE(StartProgramState(state.Link, state.Panel, state.Places, [&](TCiaComPort*, int) {
                    ++lost;
                }).isEmpty());
    EXPECT_EQ(state.Link.Settings.PortText, "3");
    EXPECT_TRUE(state.Link.SerialLink);
    EXPECT_TRUE(state.Link.LinkOpened);
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_EQ(state.Link.ComPort(1).Port(), 3);
    EXPECT_TRUE(state.Places.ProgramDirectory.endsWith('/'));
    EXPECT_FALSE(state.Places.StartDate.isEmpty());
    EXPECT_EQ(state.Link.DiscoveredPorts, QStringList{"3"});
    ASSERT_FALSE(log.lines.isEmpty());
    EXPECT_EQ(log.lines.last(), "COM3: port opend");

    const qsizetype before = log.lines.size();
    SendToInstrument(state.Link, "meas:volt?\n");
    ASSERT_TRUE(WaitUntil([&] { return log.lines.size() == before + 1; }));
    EXPECT_TRUE(log.lines.last().endsWith("\r\n")) << "the line as received";

    Evaluations test(state);
    state.Link.TestWindow = &test;
    SendToInstrument(state.Link, "*idn?\n");
    ASSERT_TRUE(WaitUntil([&] { return test.seen.size() == 1; }));
    EXPECT_EQ(QString::fromLatin1(test.seen[0]), log.lines.last());
    EXPECT_TRUE(test.seen[0].startsWith("KELM")) << test.seen[0].toStdString();
    state.Link.TestWindow = nullptr;

    sim.Kill();
    ASSERT_TRUE(WaitUntil([&] { return lost == 1; }));
}

// A network port's connect is made off the event loop: the program's timers tick on while a
// device server does not answer, and the cause is told once, without a second connect; a
// server that answers is open when the discovery says so.
TEST_F(ProgramStartTest, ANetworkPortConnectsWhileTheLoopGoesOn)
{
    SilentListener silent;
    TavsimProcess sim(QString::fromStdString(sandbox.LinkDir()) + "/COM8",
                      QDir(cwd.path()).filePath("tavsim.log"), {"--tcp", "127.0.0.1:0"});
    ASSERT_TRUE(sim.Ready());
    QFile entry(QString::fromStdString(sandbox.LinkDir()) + "/COM7");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(silent.Uri().toLatin1() + "\n");
    entry.close();
    const struct {
        const char* port;
        bool opens;
        QString line;
    } cases[] = {{"7", false, "Cannot open port '\\\\.\\COM7'"}, {"8", true, "COM8: port opend"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        LinkSettings saved;
        saved.PortText = QString::fromLatin1(c.port);
        ASSERT_TRUE(WriteLinkConfig(QDir(cwd.path()).filePath("TAVCON.cfg"), saved));
        ProgramState started;
        started.Link.Replies = &log;
        started.Link.DiscoveryDeferred = true;
        StartProgramState(started.Link, started.Panel, started.Places, nullptr);
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(50);
        bool done = false;
        DiscoverPorts(started.Link, [&] { done = true; });
        ASSERT_TRUE(WaitUntil([&] { return done; }, 10000));
        EXPECT_EQ(started.Link.LinkOpened, c.opens);
        EXPECT_EQ(started.Link.ComPort(1).Active(), c.opens);
        EXPECT_EQ(log.lines.last(), c.line);
        if (!c.opens) {
            // About 60 ticks in the 3 s the connect waits; none while a connect holds the loop.
            EXPECT_GT(ticks, 20);
            EXPECT_EQ(started.Link.ComPort(1).OpenError(), ETIMEDOUT);
        }
        started.Link.ComPort(1).SetActive(false);
    }
}
