// Program start and the windows around the main window.
#include "autotest/table_window.h"
#include "record/trend_window.h"
#include "sequence/sequence_window.h"
#include "service/info_windows.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/qt_wait.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <termios.h>

using StartUpTest = PanelFixture;

TEST_F(StartUpTest, FreshStartIsDisconnectedOnPortTwoAndWritesTheDefaultConfig)
{
    PtyLink com1(sandbox, 1), com2(sandbox, 2), com4(sandbox, 4);
    CreateWindows();
    EXPECT_EQ(form->windowTitle(), "TAV-Control");
    EXPECT_EQ(state.Link.Settings.PortText, "2");
    EXPECT_EQ(state.Link.Settings.GpibDeviceName, "Device 1");
    EXPECT_EQ(form->findChild<QLineEdit*>("DeviceName")->text(), "Device 1");
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_EQ(state.Link.ComPort(1).Port(), 2);
    termios line{};
    ASSERT_EQ(tcgetattr(com2.Master(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200)); // as the instrument expects
    EXPECT_TRUE(Visible("BitBtn7"));
    EXPECT_FALSE(Visible("BitBtn8"));
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_EQ(state.Panel.DeviceIdent.Identification, "Disconnected");
    for (const char* hidden :
         {"IpAutoOnButton", "IrmsX10Button", "IrmsX1Button", "Ot1OffButton", "Ot1OnButton"})
        EXPECT_FALSE(Visible(hidden)) << hidden;
    EXPECT_TRUE(Visible("IpAutoOffButton"));
    EXPECT_EQ(Edit("Edit1")->text(), "0.000");
    EXPECT_FALSE(Edit("Edit24")->isEnabled());
    EXPECT_FALSE(Edit("Edit38")->isEnabled());
    EXPECT_EQ(LogLines(),
              QStringList({"> COM1: port found - Ports: 3", "> COM2: port found - Ports: 3",
                           "> COM2: port opend", "> COM4: port found - Ports: 3"}));
    EXPECT_FALSE(QFile::exists(CwdFile("TAVCON.cfg")));

    form->close();
    EXPECT_FALSE(state.Link.ComPort(1).Active());
    const QByteArray cfg = ReadFileBytes(CwdFile("TAVCON.cfg"));
    ASSERT_EQ(cfg.size(), 40);
    EXPECT_EQ(cfg.left(4), QByteArray("\x02\0\0\0", 4));
    EXPECT_EQ(cfg.mid(8, 8), QByteArray(8, '\0'));
    EXPECT_EQ(cfg.mid(16, 9), QByteArray("\x08"
                                         "Device 1"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(StartUpTest, DamagedConfigIsToldOnceAndStartUpFinishes)
{
    QFile f(CwdFile("TAVCON.cfg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(45, '\0'));
    f.close();
    PtyLink com2(sandbox, 2);
    CreateWindows();
    PumpEvents(20);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("TAVCON.cfg"));
    EXPECT_EQ(state.Link.Settings.PortText, "0"); // the one whole record read: all zero
    EXPECT_TRUE(Visible("BitBtn7"));
}

TEST_F(StartUpTest, AbsentPortConnectsWithoutPolling)
{
    CreateWindows();
    EXPECT_FALSE(state.Link.LinkOpened);
    form->BitBtn7Click();
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_FALSE(Btn("RclStateButton")->isEnabled());
    EXPECT_FALSE(Edit("Edit3")->isEnabled());
    form->BitBtn8Click();
    EXPECT_TRUE(Btn("RclStateButton")->isEnabled());
    EXPECT_TRUE(Edit("Edit3")->isEnabled());
}

TEST_F(StartUpTest, MenuWindowsDisconnectFirstAndStartFresh)
{
    PtyLink com2(sandbox, 2);
    CreateWindows();
    windows.Sequence.CreateHidden(form.get());
    QDialog* startUpInstance = windows.Sequence.Instance();
    ASSERT_NE(startUpInstance, nullptr);
    form->BitBtn7Click();
    Edit("Edit14")->setText("230.0000");
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            shown = w->objectName();
            w->close();
        }
    });
    form->able1Click();
    EXPECT_EQ(shown, "TForm2");
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn7"));
    EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "---");
    EXPECT_EQ(tool->FieldText("Label22"), "---");
    EXPECT_EQ(Edit("Edit14")->text(), "230.0000");   // values stay on screen
    EXPECT_EQ(windows.Sequence.Instance(), nullptr); // destroyed on return
    QTimer::singleShot(0, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            shown = w->objectName();
            w->close();
        }
    });
    windows.About.SetFactory([](QWidget* p) { return new TForm91(p); });
    form->About1Click();
    EXPECT_EQ(shown, "TForm91");
}

// The pacing of every window, read from the timers the windows made, by their names. Written out
// here rather than taken from the windows' constants, so that a changed period shows.
TEST_F(StartUpTest, EveryWindowTimerHasItsPeriod)
{
    CreateWindows();
    TForm2 sequence(state.Link, state.Export, state.Places, form.get());
    TForm6 test(state.Link, state.Places, state.Test, state.Export, form.get());
    form->Trend1Click();
    auto* splash = new TForm90;
    const QWidget* windows[] = {form.get(), tool.get(), &sequence, &test, form->Trend(), splash};
    const struct {
        const char* window;
        const char* timer;
        int ms;
    } periods[] = {
        {"TForm1", "Timer1", 60},           {"TForm1", "Timer3", 200},
        {"TForm2", "RowTimer", 600},        {"TForm2", "CommandTimer", 60},
        {"TForm6", "Timer1", 100},          {"TForm6", "ResultClearTimer", 100},
        {"TForm5", "Timer1", 1200},         {"TForm90", "Timer1", 3000},
        {"TrendWindow", "TrendTimer", 500},
    };
    qsizetype timers = 0;
    for (const QWidget* w : windows)
        timers += w->findChildren<QTimer*>(Qt::FindDirectChildrenOnly).size();
    EXPECT_EQ(timers, static_cast<qsizetype>(std::size(periods))) << "a timer not in the table";
    for (const auto& p : periods) {
        const QTimer* timer = nullptr;
        for (const QWidget* w : windows)
            if (w->objectName() == QLatin1String(p.window))
                timer = w->findChild<QTimer*>(QLatin1String(p.timer), Qt::FindDirectChildrenOnly);
        ASSERT_NE(timer, nullptr) << p.window << " " << p.timer;
        EXPECT_EQ(timer->interval(), p.ms) << p.window << " " << p.timer;
    }
    delete splash;
}

TEST(InfoWindows, ShowTheVersionAndTheSplashGoesByItself)
{
    auto* splash = new TForm90;
    QPointer<TForm90> alive(splash);
    splash->show();
    EXPECT_EQ(splash->windowTitle(), "Info");
    const QString version = splash->findChild<QLabel*>("VersionLabel")->text();
    EXPECT_TRUE(version.startsWith("Version ")) << version.toStdString(); // not the bare caption
    EXPECT_TRUE(splash->Timer1()->isActive());
    ASSERT_TRUE(QMetaObject::invokeMethod(splash->Timer1(), "timeout", Qt::DirectConnection));
    ASSERT_TRUE(WaitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return alive.isNull();
    }));

    TForm91 about;
    EXPECT_EQ(about.findChild<QLabel*>("VersionLabel")->text(), version);
    about.show();
    about.findChild<QPushButton*>("CloseButton")->click();
    EXPECT_FALSE(about.isVisible());
}
