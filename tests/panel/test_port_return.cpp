// The instrument's port going away while the main window polls, and coming back: the simulator
// stopped and started again on the same link, as a USB adapter pulled and plugged in again.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QLabel>

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
