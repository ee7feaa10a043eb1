// The main window against the simulated instrument. The poll timer is ticked by the tests, each
// tick waiting for the instrument's answer; only the start of polling runs on the real timer.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class PanelEndToEnd : public PanelFixture {
protected:
    static QStringList Lines(const std::vector<TavsimProcess::LogLine>& log)
    {
        QStringList lines;
        for (const auto& l : log)
            lines.append(l.line);
        return lines;
    }

    // What Connect sends first: identification, options and the set values, then a pass.
    const QStringList m_connectLines = {
        "*idn?",          "*opt?",        "Sour:voltac?", "Sour:voltdc?",
        "Sour:curr?",     "Sour:freq?",   "Sour:phas?",   "Sour:powmax?",
        "outp:stat?",     "outp:phason?", "outp:aux?",    "sour:currmax?",
        "sour:currtime?", "*tav?",        "meas:volt?",   "meas:curr?"};
};

} // namespace

TEST_F(PanelEndToEnd, ConnectStartsThePollTimer)
{
    auto sim = StartSimAndWindows();
    Btn("BitBtn7")->click();
    EXPECT_TRUE(form->Timer1()->isActive());
    // The first pass after the set values is not watched, so a slow machine still gets here.
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= 16; }));
    EXPECT_EQ(Lines(sim->Received()).mid(0, m_connectLines.size()), m_connectLines);
}

TEST_F(PanelEndToEnd, RepliesShowInTheirFieldsAndCommandsComeBackAsSetValues)
{
    auto sim = StartSimAndWindows();
    ConnectDriven();
    TickThrough(9);
    EXPECT_EQ(Lines(sim->Received()).mid(0, m_connectLines.size()), m_connectLines);
    EXPECT_EQ(Edit("Edit15")->text(), "16.00000");
    EXPECT_EQ(Edit("Edit17")->text(), "50.00000");
    EXPECT_EQ(Edit("Edit1")->text(), "0.000V");
    EXPECT_TRUE(Visible("OutputOffButton"));

    // Two set commands through the mailbox, one after the other: the output comes on at 230 V.
    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
    TickThrough(29);
    TickThrough(43);
    EXPECT_EQ(Edit("Edit14")->text(), "230.0000");
    form->Cycle().OperatorCommand.Post("OUTP,1\n");
    TickThrough(29);
    TickThrough(43);
    EXPECT_TRUE(Visible("OutputOnButton"));
    EXPECT_FALSE(Visible("OutputOffButton"));
    TickThrough(9);
    EXPECT_EQ(Edit("Edit1")->text(), "230.0V");
    EXPECT_EQ(Edit("Edit2")->text(), "4.600A");
    // The simulator's load takes its current 30 degrees late: active power, apparent power and
    // power factor each show in a field of their own.
    EXPECT_EQ(Edit("Edit5")->text(), "916.3W");
    EXPECT_EQ(Edit("Edit6")->text(), "1058.VA");
    EXPECT_EQ(Edit("Edit8")->text(), "0.866");
    EXPECT_TRUE(LogLines().contains("> 230.0V"));
    const QStringList lines = Lines(sim->Received());
    EXPECT_EQ(lines.count("SOUR:VOLTAC,230"), 1);
    EXPECT_EQ(lines.count("OUTP,1"), 1);
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PanelEndToEnd, MissingStatusAnswerDisconnectsByItself)
{
    auto sim = StartSimAndWindows({"--no-status"});
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Visible("BitBtn7"); }));
    EXPECT_FALSE(form->Timer1()->isActive());
    // The set values, a pass that is not watched, then the watched status query and slot 2:
    // nothing after that. The instrument may still be reading what was sent.
    const qsizetype sent = 13 + 9 + 2;
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= sent; }));
    const QStringList lines = Lines(sim->Received());
    EXPECT_EQ(lines.size(), sent);
    EXPECT_EQ(lines.mid(sent - 2), QStringList({"*tav?", "meas:volt?"}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PanelEndToEnd, InstrumentThatGoesAwayStopsPollingAndIsToldOncePerConnection)
{
    auto sim = StartSimAndWindows();
    ConnectDriven();
    for (int i = 0; i < 5; ++i)
        Tick();
    sim->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !messages.isEmpty(); }));
    EXPECT_FALSE(state.Link.ComPort(1).Active());
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn7"));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("\\\\.\\COM2"));
    EXPECT_TRUE(messages[0].contains("Polling has stopped"));
    // Connect again: the first tick finds the port closed, stops polling and says so once.
    form->BitBtn7Click();
    form->Timer1Timer();
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_EQ(messages.mid(1), QStringList{"Port not open"});

    // The instrument is back, the port opened again as the I/O window does, and connected: the
    // next loss is told again, once.
    sim = std::make_unique<TavsimProcess>(LinkPath(2), CwdFile("tavsim2.log"));
    ASSERT_TRUE(sim->Ready());
    state.Link.ComPort(1).SetActive(true);
    ConnectDriven();
    for (int i = 0; i < 5; ++i)
        Tick();
    sim->Kill();
    ASSERT_TRUE(WaitUntil([&] { return messages.size() == 3; }))
        << messages.join('|').toStdString();
    EXPECT_TRUE(messages[2].contains("Polling has stopped"));
    PumpEvents(20);
    EXPECT_EQ(messages.size(), 3);
}
