// The main window against the simulated instrument, in real time.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

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
};

} // namespace

TEST_F(PanelEndToEnd, ConnectPollsEverySixtyMillisecondsAndShowsTheValues)
{
    auto sim = StartSimAndWindows();
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= 30; }));
    const auto log = sim->Received();
    const QStringList expected = {"*idn?",        "*opt?",        "Sour:voltac?", "Sour:voltdc?",
                                  "Sour:curr?",   "Sour:freq?",   "Sour:phas?",   "Sour:powmax?",
                                  "outp:stat?",   "outp:phason?", "outp:aux?",    "sour:currmax?",
                                  "sour:currtime?", "*tav?",      "meas:volt?",   "meas:curr?"};
    EXPECT_EQ(Lines(log).mid(0, expected.size()), expected);
    std::vector<qint64> gaps;
    for (size_t i = 1; i < 30; ++i)
        gaps.push_back(log[i].micros - log[i - 1].micros);
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    const qint64 median = gaps[gaps.size() / 2];
    EXPECT_GT(median, 45000);
    EXPECT_LT(median, 90000);

    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit15")->text() == "16.00000"; }));
    EXPECT_EQ(Edit("Edit17")->text(), "50.00000");

    // Two set commands through the mailbox, one after the other: the output comes on at 230 V.
    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit14")->text() == "230.0000"; }));
    form->Cycle().OperatorCommand.Post("OUTP,1\n");
    ASSERT_TRUE(WaitUntil([&] { return Visible("OutputOnButton"); }));
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit1")->text() == "230.0V"; }));
    ASSERT_TRUE(WaitUntil([&] { return Edit("Edit2")->text() == "4.600A"; }));
    EXPECT_TRUE(LogLines().contains("> 230.0V"));
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PanelEndToEnd, MissingStatusAnswerDisconnectsByItself)
{
    auto sim = StartSimAndWindows({"--no-status"});
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return Visible("BitBtn7"); }));
    EXPECT_FALSE(form->Timer1()->isActive());
    const QStringList lines = Lines(sim->Received());
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.mid(lines.size() - 2), QStringList({"*tav?", "meas:volt?"}));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PanelEndToEnd, InstrumentThatGoesAwayStopsPollingAndIsToldOnce)
{
    auto sim = StartSimAndWindows();
    Btn("BitBtn7")->click();
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= 5; }));
    sim->Kill();
    ASSERT_TRUE(WaitUntil([&] { return Visible("BitBtn7"); }));
    PumpEvents(300);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.value(0).contains("\\\\.\\COM2"));
    EXPECT_FALSE(state.ComPort(1).Active());
    EXPECT_FALSE(form->Timer1()->isActive());
    // Connect again: nothing to poll, no flood of messages.
    form->BitBtn7Click();
    PumpEvents(200);
    EXPECT_LE(messages.size(), 2);
}
