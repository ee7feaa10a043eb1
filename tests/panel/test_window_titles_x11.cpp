// The window titles as the X server holds them, which is what the operator's window manager
// shows: a program-wide display name must not be appended to the windows' own captions. Runs
// on a real X server (Xvfb), not offscreen.
#include "link/io_config_window.h"
#include "sequence/sequence_window.h"
#include "service/info_windows.h"
#include "tests/panel/panel_fixture.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

namespace {

// The window's title properties as xprop prints them: WM_NAME and _NET_WM_NAME.
QStringList TitlesOnServer(QWidget* window)
{
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("WM_NAME"),
                 QStringLiteral("_NET_WM_NAME")});
    EXPECT_TRUE(xprop.waitForFinished(10000));
    QStringList titles;
    for (const QString& line : QString::fromUtf8(xprop.readAllStandardOutput()).split('\n')) {
        const int eq = line.indexOf(QStringLiteral(" = \""));
        if (eq > 0 && line.endsWith('"'))
            titles << line.mid(eq + 4, line.size() - eq - 5);
    }
    return titles;
}

class WindowTitlesX11 : public PanelFixture {};

} // namespace

TEST_F(WindowTitlesX11, ServerSeesTheCaptionsExactly)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    CreateWindows();
    EXPECT_EQ(TitlesOnServer(form.get()), QStringList({"TAV-Control", "TAV-Control"}));
    TForm2 sequence(state.Link, state.Export, state.Places, form.get());
    EXPECT_EQ(TitlesOnServer(&sequence), QStringList({"Sequenz", "Sequenz"}));
    TForm4 io(state.Link, *form, form.get());
    EXPECT_EQ(TitlesOnServer(&io), QStringList({"I/O Configuration", "I/O Configuration"}));
    TForm91 about(form.get());
    EXPECT_EQ(TitlesOnServer(&about), QStringList({"Info", "Info"}));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    SetProgramName(); // as the program names itself
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
