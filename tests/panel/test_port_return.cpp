// The instrument's port going away while the main window polls, and coming back: the simulator
// stopped and started again on the same link, as a USB adapter pulled and plugged in again.
#include "panel/program_start.h"
#include "sequence/grid_widget.h"
#include "tests/autotest/small_table.h"
#include "tests/autotest/test_window_fixture.h"
#include "tests/support/loopback.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"
#include "widgets/operator_messages.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

namespace {

class PortReturn : public PanelFixture {
protected:
    QString Status() const { return form->findChild<QLabel*>("LinkStatus")->text(); }
    int LossMessages() const { return static_cast<int>(messages.filter("was lost").size()); }
};

} // namespace

TEST_F(PortReturn, PollingGoesOnByItselfWithTheNewInstrumentAndTheLossIsToldOnce)
{
    auto first = StartSimAndWindows();
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "0.000V"; }));

    first->Kill();
    ASSERT_TRUE(WaitUntil([&] { return Status().startsWith("connection on COM2 lost"); }));
    EXPECT_TRUE(Visible("BitBtn7"));
    EXPECT_EQ(LossMessages(), 1);
    PumpEvents(1500); // past the watch's first look: the return must be noticed by itself

    // Another unit on the same adapter path: its readings tell it from the first.
    TavsimProcess second(LinkPath(2), CwdFile("second.log"),
                         {"--answer", "meas:volt?=231.5V", "--serial", "0505000999"});
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "231.5V"; }));
    EXPECT_EQ(Status(), "COM2 back — polling");
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_TRUE(form->Timer1()->isActive());
    EXPECT_TRUE(LogLines().contains("> \\\\.\\COM2: back"));
    EXPECT_EQ(state.Panel.DeviceIdent.SerialNumber, "0505000999");
    EXPECT_EQ(LossMessages(), 1);
    EXPECT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
}

TEST_F(PortReturn, AnOperatorWhoWasNotConnectedKeepsTheWindowAsItIs)
{
    auto first = StartSimAndWindows();
    first->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !state.Link.ComPort(1).Active(); }));
    TavsimProcess second(LinkPath(2), CwdFile("second.log"));
    ASSERT_TRUE(second.Ready());
    PumpEvents(1500);
    EXPECT_FALSE(state.Link.ComPort(1).Active());
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(second.Received().empty());
}

// A table running when the port goes stays held ("PAUSE") while the port comes back, and goes
// on against the new instrument once the operator presses Continue.
TEST_F(TestWindowTest, RunningTableHoldsAtTheLossAndContinuesOnceThePortIsBack)
{
    auto first = StartSimAndWindows();
    Open();
    PutRows(*grid, {{"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "", "1"},
                    {"00.00.02.000", "SOUR:FREQ,60", "0", "0", "0", "", "", "", "1"},
                    {"00.00.00.500", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
                    {"00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}});
    window->findChild<QPushButton*>("Button3")->click();
    auto sent = [](const TavsimProcess& sim, const QString& line) {
        for (const auto& l : sim.Received())
            if (l.line == line)
                return true;
        return false;
    };
    ASSERT_TRUE(WaitUntil([&] { return sent(*first, "SOUR:FREQ,60"); }));
    first->Kill();
    ASSERT_TRUE(WaitUntil([&] { return Text("Edit3") == "PAUSE"; }));
    EXPECT_FALSE(window->Timer1()->isActive());

    TavsimProcess second(LinkPath(2), CwdFile("second.log"), {"--answer", "meas:volt?=231.5V"});
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(WaitUntil([&] { return state.Link.ComPort(1).Active(); }));
    PumpEvents(300);
    EXPECT_FALSE(window->Timer1()->isActive()) << "the run went on by itself";
    EXPECT_FALSE(form->Timer1()->isActive()) << "the panel polls beside the test window";

    window->findChild<QPushButton*>("Button6")->click();
    ASSERT_TRUE(WaitUntil([&] { return sent(second, "MEAS:VOLT?"); }));
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }));
    EXPECT_EQ(ResultGridRow(3).mid(0, 5),
              (QStringList{" 3", "UAC", "225.000", "231.500", "235.000"}));
    EXPECT_EQ(messages.filter("was lost").size(), 1) << messages.join('|').toStdString();
}

// The box that told the loss closes itself when the port is back and polling goes on.
TEST_F(PortReturn, TheLossBoxClosesWhenThePortIsBack)
{
    auto first = StartSimAndWindows();
    SetOperatorMessageHook(nullptr); // the real box, not the test's list
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "0.000V"; }));
    first->Kill();
    QWidget* box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = form->findChild<QWidget*>("OperatorNotice")); }));
    EXPECT_TRUE(box->isVisible());
    TavsimProcess second(LinkPath(2), CwdFile("second.log"));
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Status() == "COM2 back — polling"; }));
    EXPECT_TRUE(WaitUntil([&] { return !form->findChild<QWidget*>("OperatorNotice"); }));
}

// A device server that drops and comes back: the program connects again by itself, off its
// event loop, and polls again.
TEST_F(PortReturn, ANetworkPortThatComesBackIsPolledAgainByItself)
{
    const int port = LoopbackPort();
    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    QFile entry(LinkPath(2));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("tcp://" + address.toLatin1() + "\n");
    entry.close();
    auto first = std::make_unique<TavsimProcess>(CwdFile("first-entry"), CwdFile("first.log"),
                                                 QStringList{"--tcp", address});
    ASSERT_TRUE(first->Ready());
    CreateWindows();
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "0.000V"; }));
    first.reset();
    ASSERT_TRUE(WaitUntil([&] { return Status().startsWith("connection on COM2 lost"); }));
    PumpEvents(2500); // a try or two while nothing listens
    TavsimProcess second(CwdFile("second-entry"), CwdFile("second.log"),
                         {"--tcp", address, "--answer", "meas:volt?=231.5V"});
    ASSERT_TRUE(second.Ready());
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "231.5V"; }, 15000))
        << Status().toStdString();
    EXPECT_TRUE(Status().startsWith("COM2 back — polling")) << Status().toStdString();
    EXPECT_EQ(LossMessages(), 1);
}

// A network port says in the status bar where it leads; one that could not be opened says why
// at Connect, and where the port is chosen again.
TEST_F(PortReturn, ANetworkPortSaysWhereItLeadsAndWhyItIsNotOpen)
{
    auto sim = StartSimAndWindows({"--tcp", "127.0.0.1:0"});
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "0.000V"; }));
    EXPECT_TRUE(
        Status().contains(QRegularExpression("^COM2 tcp://127\\.0\\.0\\.1:[0-9]+ — polling$")))
        << Status().toStdString();
}

TEST_F(PortReturn, ANetworkPortThatCannotOpenSaysWhyAtConnect)
{
    QFile entry(LinkPath(2));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(QStringLiteral("tcp://127.0.0.1:%1\n").arg(LoopbackPort()).toLatin1());
    entry.close();
    CreateWindows();
    Btn("BitBtn7")->click();
    EXPECT_TRUE(Status().startsWith("COM2 not open: \\\\.\\COM2 (")) << Status().toStdString();
    EXPECT_TRUE(Status().endsWith(": connection refused (nothing listens on that port) — "
                                  "\"Setup\" > \"I/O Config\" chooses the port again"))
        << Status().toStdString();
}

// Connect pressed while the start-up still connects to a network port goes on once that connect
// has answered, here with why it could not.
TEST_F(PortReturn, ConnectWhileTheStartUpStillConnectsGoesOnWhenItHasAnswered)
{
    SilentListener silent;
    QFile entry(LinkPath(2));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(silent.Uri().toLatin1() + "\n");
    entry.close();
    state.Link.DiscoveryDeferred = true; // as the program starts: the window first
    CreateWindows();
    bool discovered = false;
    DiscoverPorts(state.Link, [&] {
        discovered = true;
        form->PortDiscovered();
    });
    Btn("BitBtn7")->click();
    EXPECT_EQ(Status(), "COM2 connecting…");
    ASSERT_TRUE(WaitUntil([&] { return discovered; }, 10000));
    EXPECT_TRUE(Status().startsWith("COM2 not open: ")) << Status().toStdString();
    EXPECT_TRUE(Status().contains("no answer within 3 s")) << Status().toStdString();
}
