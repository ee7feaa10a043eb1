// The operator's set-value fields and buttons, and what reaches the instrument.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

class OperatorCommandTest : public PanelFixture {
protected:
    void SetUp() override { CreateWindows(); }

    // Types the text into the field and presses Enter, as the operator does.
    void TypeAndEnter(const QString& field, const QString& text)
    {
        QLineEdit* edit = Edit(field);
        edit->clear();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }

    const CommandMailbox& Operator() { return form->Cycle().OperatorCommand; }
};

} // namespace

TEST_F(OperatorCommandTest, CommonFieldsAreCheckedPerPhaseFieldsAreNot)
{
    form->ThreePhaseLayout();
    TypeAndEnter("Edit14", "230");
    EXPECT_EQ(Operator().text, "SOUR:VOLTAC,230\n");
    EXPECT_TRUE(Operator().pending);
    TypeAndEnter("Edit14", "2a0");
    EXPECT_EQ(Edit("Edit14")->text(), "");
    EXPECT_EQ(Operator().text, "SOUR:VOLTAC,\n");
    TypeAndEnter("Edit18", "-5");
    EXPECT_EQ(Edit("Edit18")->text(), "");
    EXPECT_EQ(Operator().text, "SOUR:VOLTDC,\n");
    TypeAndEnter("Edit41", "-5");
    EXPECT_EQ(Edit("Edit41")->text(), "-5");
    EXPECT_EQ(Operator().text, "SOUR1:VOLTDC,-5\n");
    TypeAndEnter("Edit15", "1.2.3"); // several points pass the check
    EXPECT_EQ(Operator().text, "SOUR:CURR,1.2.3\n");
    TypeAndEnter("Edit17", "50,5"); // a decimal comma does not
    EXPECT_EQ(Operator().text, "SOUR:FREQ,\n");
    TypeAndEnter("Edit23", "10");
    EXPECT_EQ(Operator().text, "SOUR:CURRTIME,10\n");
    TypeAndEnter("Edit48", "60");
    EXPECT_EQ(Operator().text, "SOUR2:FREQ,60\n");
    TypeAndEnter("Edit52", "240");
    EXPECT_EQ(Operator().text, "SOUR3:PHAS,240\n");
    // Other keys edit the field and post nothing.
    form->Cycle().OperatorCommand.Clear();
    QTest::keyClicks(Edit("Edit16"), "1000");
    EXPECT_FALSE(Operator().pending);
}

TEST_F(OperatorCommandTest, ButtonsPostTheirCommandsAndActionPairsSwap)
{
    const std::pair<const char*, const char*> posts[] = {
        {"OutputOnButton", "OUTP,0\n"},       {"OutputOffButton", "OUTP,1\n"},
        {"AuxOnButton", "OUTP:AUX,0\n"},      {"AuxOffButton", "OUTP:AUX,1\n"},
        {"PhaseOnButton", "OUTP:PHASON,0\n"}, {"PhaseOffButton", "OUTP:PHASON,1\n"},
        {"IpClearButton", "SOUR:CURRCLR\n"},  {"IrmsX10Button", "SOUR:CURRRNG,1\n"},
        {"IrmsX1Button", "SOUR:CURRRNG,0\n"}, {"Ot1OffButton", "OUTP:OT1,0\n"},
        {"Ot1OnButton", "OUTP:OT1,1\n"}};
    for (const auto& [button, command] : posts) {
        Btn(button)->show();
        Btn(button)->click();
        EXPECT_EQ(Operator().text, command) << button;
    }
    // Irms x10 hides itself and shows Irms x1, and back.
    Btn("IrmsX10Button")->show();
    Btn("IrmsX10Button")->click();
    EXPECT_FALSE(Visible("IrmsX10Button"));
    EXPECT_TRUE(Visible("IrmsX1Button"));
    Btn("Ot1OnButton")->click();
    EXPECT_TRUE(Visible("Ot1OffButton"));
    EXPECT_FALSE(Visible("Ot1OnButton"));
}

TEST_F(OperatorCommandTest, AutomaticPeakClearingUsesTheTimerMailbox)
{
    Btn("IpAutoOffButton")->click();
    EXPECT_TRUE(form->Timer3()->isActive());
    EXPECT_TRUE(Visible("IpAutoOnButton"));
    EXPECT_FALSE(Visible("IpAutoOffButton"));
    form->Timer3Timer();
    EXPECT_EQ(form->Cycle().TimerCommand.text, "SOUR:CURRCLR\n");
    EXPECT_TRUE(form->Cycle().TimerCommand.pending);
    Btn("IpAutoOnButton")->click();
    EXPECT_FALSE(form->Timer3()->isActive());
    EXPECT_TRUE(Visible("IpAutoOffButton"));
}

TEST_F(OperatorCommandTest, RecallAndSaveWriteDirectlyAndFailOnAClosedPort)
{
    {
        PtyLink com2(sandbox, 2);
        state.Link.ComPort(1).SetPort(2);
        state.Link.ComPort(1).SetActive(true);
        Edit("Edit3")->setText("4");
        Btn("RclStateButton")->click();
        Btn("SavStateButton")->click();
        Btn("RclState0Button")->click();
        EXPECT_EQ(com2.ReadLines(3), "*RCL,4\n*SAV,4\n*RCL,0\n");
        state.Link.ComPort(1).SetActive(false);
    }
    Btn("RclState0Button")->click();
    EXPECT_EQ(messages, QStringList{"Port not open"});
}

TEST_F(OperatorCommandTest, ThreePhaseInstrumentSwitchesTheLayoutAndFillsPhasesTwoAndThree)
{
    auto sim = StartSimAndWindows({"--options", "3P CR2 OT1", "--revision", "V2.00"});
    ConnectDriven();
    TickThrough(32);
    EXPECT_TRUE(Edit("Edit24")->isEnabled());
    EXPECT_TRUE(Edit("Edit52")->isEnabled());
    EXPECT_TRUE(Visible("IrmsX10Button"));
    EXPECT_TRUE(Visible("Ot1OffButton"));
    EXPECT_FALSE(form->findChild<QLabel*>("Label1")->isVisibleTo(form.get()));
    EXPECT_TRUE(form->findChild<QLabel*>("Label28")->isVisibleTo(form.get()));
    EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "TAV-1600-PS");
    // The set-value block runs to 58 now: the per-phase angles of phases 2 and 3 come in.
    TickThrough(58);
    EXPECT_EQ(Edit("Edit51")->text(), QString::fromUtf8("120.0\u00B0"));
    EXPECT_EQ(Edit("Edit52")->text(), QString::fromUtf8("240.0\u00B0"));
    // The measurement pass covers phases 2 and 3, then the mailbox slots.
    TickThrough(23);
    EXPECT_EQ(Edit("Edit31")->text(), "0.000V");
    Tick();
    EXPECT_EQ(form->Cycle().ReplySlot, 28);
    EXPECT_EQ(sim->Received().back().line, "meas3:cfact?");
}

TEST_F(OperatorCommandTest, AutomaticClearingReachesTheInstrumentOncePerPass)
{
    auto sim = StartSimAndWindows();
    ConnectDriven();
    TickThrough(43);
    Btn("IpAutoOffButton")->click();
    EXPECT_TRUE(form->Timer3()->isActive());
    // The clearing timer ticks at every poll tick, far more often than once per pass.
    for (int pass = 0; pass < 3; ++pass) {
        do {
            form->Timer3Timer();
            Tick();
        } while (form->Cycle().ReplySlot != 29);
    }
    Tick();
    QStringList lines;
    for (const auto& l : sim->Received())
        lines.append(l.line);
    std::vector<qsizetype> clears;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i] == "SOUR:CURRCLR")
            clears.push_back(i);
    ASSERT_EQ(clears.size(), 3u);
    for (size_t n = 0; n < clears.size(); ++n) {
        // Slot 28 follows the last measurement (slot 9) and precedes the status query.
        EXPECT_EQ(lines.value(clears[n] - 1), "outp:stat?");
        EXPECT_EQ(lines.value(clears[n] + 1), "*tav?");
        if (n > 0) {
            EXPECT_EQ(clears[n] - clears[n - 1], 10); // nine polled lines in between
        }
    }
    Btn("IpAutoOnButton")->click();
    EXPECT_FALSE(form->Timer3()->isActive());
    EXPECT_TRUE(Visible("IpAutoOffButton"));
}
