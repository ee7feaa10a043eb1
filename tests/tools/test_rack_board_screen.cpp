// A rack's live board as a terminal of a fixed size shows it at the end (tmux keeps the screen):
// one line per slot, redrawn in place, and what each slot leaves printed once above it.
#include "tests/support/build_paths.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QFileInfo>
#include <QUuid>

namespace {

using RackBoardScreen = TavtestFixture;

QString Tmux(const QString& server, const QStringList& arguments)
{
    QProcess tmux;
    tmux.start(QStringLiteral("tmux"), QStringList{"-L", server} + arguments);
    tmux.waitForFinished(10000);
    return QString::fromLocal8Bit(tmux.readAllStandardOutput());
}

TEST_F(RackBoardScreen, EachSlotOnceOnTheBoardAndWhatItLeftOnceAbove)
{
    if (!QFileInfo(QStringLiteral("/usr/bin/tmux")).isExecutable())
        GTEST_SKIP() << "tmux is not installed (Debian package tmux)";
    auto good = StartSim();
    auto heavy = StartSimOn(3, {"--load-ohm", "48"});
    ASSERT_TRUE(QDir(File("")).mkpath("reports"));
    const QString table = WriteTable(
        "unit.tst", {"00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1", "00.00.00.200;OUTP,1;0;0;0;;;;1",
                     "00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1",
                     "00.00.00.300;MEAS:VOLT?;NEXT;0;NEXT;225;235;U;1",
                     "00.00.00.100;OUTP,0;0;0;0;;;;1", "00.00.00.000;END;0;0;0;;;;1"});
    const QProcessEnvironment env = Environment();
    const QString command =
        QStringLiteral("cd '%1' && env XDG_CONFIG_HOME='%2' XDG_DATA_HOME='%3' '%4' '%5' "
                       "--slot COM2 --slot COM3 --slot COM9 --report reports; echo \"EXIT $?\"; "
                       "sleep 60")
            .arg(File(""), env.value("XDG_CONFIG_HOME"), env.value("XDG_DATA_HOME"),
                 QString::fromUtf8(kTavtestPath), table);
    const QString server = QUuid::createUuid().toString(QUuid::Id128);
    Tmux(server, {"new-session", "-d", "-x", "90", "-y", "24", "-s", "rack", command});
    QString screen;
    ASSERT_TRUE(WaitUntil(
        [&] {
            screen = Tmux(server, {"capture-pane", "-p", "-J", "-t", "rack"});
            return screen.contains("EXIT ");
        },
        60000))
        << screen.toStdString();
    Tmux(server, {"kill-server"});

    EXPECT_TRUE(screen.contains("EXIT 2")) << screen.toStdString();
    const QStringList lines = screen.split('\n');
    const auto count = [&](const QString& start) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const QString& l) { return l.startsWith(start); });
    };
    for (const char* slot : {"COM2 0505000120", "COM3 0505000121", "COM9 0505000122"}) {
        SCOPED_TRACE(slot);
        // Its board line, and its summary above the board.
        EXPECT_EQ(count(QString::fromLatin1(slot) + "  "), 1) << screen.toStdString();
        EXPECT_EQ(count(QString::fromLatin1(slot) + ": ERROR:") +
                      count(QString::fromLatin1(slot) + ": PASSED:") +
                      count(QString::fromLatin1(slot) + ": FAILED:"),
                  1)
            << screen.toStdString();
    }
    EXPECT_FALSE(screen.contains("running")) << screen.toStdString();
    EXPECT_TRUE(screen.contains("could not open")) << screen.toStdString();
    EXPECT_TRUE(screen.contains("first failed step 3: 4.792 Error! [4.500 .. 4.700]"))
        << screen.toStdString();
    EXPECT_TRUE(screen.contains("reports/TAV 1600-0505000121.rpt")) << screen.toStdString();
    // The board's own lines fit the terminal: a wrapped one would be half left at each redraw.
    for (const QString& line : lines)
        if (line.startsWith("COM") && line.contains("  "))
            EXPECT_LT(line.size(), 90) << line.toStdString();
}

} // namespace
