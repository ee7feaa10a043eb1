// The control panel on a GPIB link, over the simulated GPIB library loaded by name.
#include "sequence/sequence_window.h"
#include "tests/panel/gpib_panel_fixture.h"

#include <QListWidget>

namespace {

class GpibPanelTest : public GpibPanelFixture {
protected:
    QStringList ErrBox() const
    {
        QStringList items;
        for (int i = 0; i < tool->ErrBox()->count(); ++i)
            items.append(tool->ErrBox()->item(i)->text());
        return items;
    }
};

} // namespace

TEST_F(GpibPanelTest, ConnectPollsTheInstrumentAndOperatorCommandsReachIt)
{
    form->BitBtn7Click();
    EXPECT_TRUE(state.Link.LinkOpened);
    EXPECT_TRUE(form->Timer1()->isActive());
    form->Timer1()->stop();
    EXPECT_TRUE(controls.CallLog().contains("ibdev(0,5,0,13,1,0)"));
    Ticks(13);
    EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "TAV-1600-PS");
    EXPECT_EQ(Edit("Edit15")->text(), "16.00000");
    EXPECT_EQ(tool->Meter()->text(), "0.00000\r\n"); // sour:currtime?, shown as read
    Ticks(11);
    EXPECT_EQ(form->Cycle().ReplySlot, 29);
    EXPECT_EQ(Edit("Edit1")->text(), "0.000V");

    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
    controls.ClearCallLog();
    Ticks(11 + 1); // a pass, then the first set value is read again
    EXPECT_EQ(form->Cycle().ReplySlot, 33);
    const QList<QByteArray> written = controls.Writes();
    ASSERT_EQ(written.size(), 9 + 1 + 1);
    EXPECT_EQ(written[8], "outp:stat?\n");
    EXPECT_EQ(written[9], "SOUR:VOLTAC,230\n"); // slot 29, with no read after it
    EXPECT_EQ(written[10], "Sour:voltac?\n");
    EXPECT_EQ(controls.Reads().size(), 9 + 1);
    EXPECT_EQ(controls.Reads().last(), "230.00000\r\n");
    EXPECT_EQ(Edit("Edit14")->text(), "230.0000");
    EXPECT_TRUE(ErrBox().isEmpty());
    EXPECT_TRUE(Visible("BitBtn8"));

    controls.ClearCallLog();
    form->BitBtn8Click();
    const QStringList calls = controls.CallLog();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_TRUE(calls[0].startsWith("ibclr("));
    EXPECT_TRUE(calls[1].startsWith("ibloc("));
}

TEST_F(GpibPanelTest, SilentInstrumentAdvancesOneSlotPerTimeOutAndFillsErrBox)
{
    form->BitBtn7Click();
    form->Timer1()->stop();
    Ticks(13 + 11);
    controls.SetSilent(5, true);
    Ticks(3); // slots 1, 2, 3: each read times out
    EXPECT_EQ(form->Cycle().ReplySlot, 3);
    const QStringList errors = ErrBox();
    ASSERT_EQ(errors.size(), 12);
    EXPECT_EQ(errors.mid(0, 4), QStringList({"IBRD failed", "   IBSTA= ERR TMO CMPL",
                                             "   IBERR= EABO <Operation aborted>", "   IBCNT=0"}));
    // The failed status read was parsed all the same: no automatic disconnect.
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_EQ(Edit("Edit1")->text(), "");
}

TEST_F(GpibPanelTest, RecallAndSaveWriteTheirLinesThenReleaseTheDevice)
{
    Edit("Edit3")->setText("3");
    state.Link.Gpib.OpenGpibDevice(state.Link.Settings.GpibAddress, state.Link.Settings.IoType);
    auto setAc = [&](const char* volts) {
        state.Link.Gpib.GpibWrite(QStringLiteral("SOUR:VOLTAC,%1\n").arg(QLatin1String(volts)));
    };
    auto ac = [&] {
        state.Link.Gpib.GpibWrite(QStringLiteral("Sour:voltac?\n"));
        QString reply;
        state.Link.Gpib.GpibRead(reply);
        return reply;
    };
    const struct {
        const char* button;
        QByteArray line;
        const char* acBefore; // set just before the click
        const char* acAfter;  // what the instrument holds after it
    } cases[] = {
        {"SavStateButton", "*SAV,3\n", "115", "115.00000\r\n"},
        {"RclStateButton", "*RCL,3\n", "230", "115.00000\r\n"},
        {"RclState0Button", "*RCL,0\n", "230", "0.00000\r\n"},
    };
    for (const auto& c : cases) {
        setAc(c.acBefore);
        controls.ClearCallLog();
        Btn(c.button)->click();
        EXPECT_EQ(controls.Writes(), QList<QByteArray>{c.line}) << c.button;
        const QStringList calls = controls.CallLog();
        ASSERT_GE(calls.size(), 2) << c.button;
        EXPECT_TRUE(calls[calls.size() - 2].startsWith("ibclr(")) << c.button;
        EXPECT_TRUE(calls.last().startsWith("ibloc(")) << c.button;
        EXPECT_EQ(ac(), c.acAfter) << c.button;
    }
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(ErrBox().isEmpty());
}

TEST_F(GpibPanelTest, SequenceWindowOpensTheDeviceAndHandsItBackOnClose)
{
    controls.ClearCallLog();
    auto window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
    EXPECT_TRUE(controls.CallLog().contains("ibdev(0,5,0,13,1,0)"));
    EXPECT_GT(state.Link.Gpib.GpibDevice, 0);
    const QString unit = QString::number(state.Link.Gpib.GpibDevice);
    controls.ClearCallLog();
    state.Link.Gpib.GpibBusy = true; // another exchange under way: the line is dropped
    window->GoClick();
    state.Link.Gpib.GpibBusy = false;
    EXPECT_TRUE(controls.CallLog().isEmpty());
    window->done(QDialog::Accepted);
    EXPECT_EQ(controls.CallLog(), QStringList({"ibclr(" + unit + ")", "ibloc(" + unit + ")"}));
}

TEST_F(GpibPanelTest, SequenceRunControlWritesItsLines)
{
    auto window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
    window->findChild<QLineEdit*>("CountEdit")->setText("3");
    window->findChild<QLineEdit*>("SeqNrEdit")->setText("7");
    const std::pair<const char*, QByteArray> buttons[] = {{"GoButton", "SEQ:GO,3\n"},
                                                          {"StopButton", "SEQ:STOP\n"},
                                                          {"LoadButton", "SEQ:LOAD,7\n"},
                                                          {"StoreButton", "SEQ:STORE,7\n"}};
    for (const auto& [button, line] : buttons) {
        controls.ClearCallLog();
        window->findChild<QPushButton*>(button)->click();
        EXPECT_EQ(controls.Writes(), QList<QByteArray>{line}) << button;
    }
    EXPECT_TRUE(ErrBox().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
}
