// The slot order of the poll cycle, driven tick by tick through the window's timer handler, with
// the lines read back from the far end of the instrument's port.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"

#include <QTimer>
#include <vector>

namespace {

class PollCycleTest : public PanelFixture {
protected:
    void SetUp() override
    {
        CreateWindows();
        ASSERT_TRUE(state.Link.ComPort(1).Active()) << "COM2 was not opened by discovery";
        ASSERT_TRUE(state.Link.LinkOpened);
        form->BitBtn7Click();
        ASSERT_TRUE(form->Timer1()->isActive());
        form->Timer1()->stop(); // ticks come from the test
    }

    // Runs n ticks; answers the status query as the instrument would, unless told not to.
    std::vector<int> Ticks(int n, bool answerStatus = true)
    {
        std::vector<int> slots;
        for (int i = 0; i < n; ++i) {
            form->Timer1Timer();
            slots.push_back(form->Cycle().ReplySlot);
            if (answerStatus && form->Cycle().ReplySlot == 1)
                form->ParseReply(QStringLiteral("0\r\n"));
        }
        return slots;
    }

    static std::vector<int> Range(int from, int to)
    {
        std::vector<int> r;
        for (int s = from; s <= to; ++s)
            r.push_back(s);
        return r;
    }

    static std::vector<int> Join(std::initializer_list<std::vector<int>> parts)
    {
        std::vector<int> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    // The lines of the poll table, as the instrument sees them: the set-value block after Connect
    // and a single-phase measurement pass (its two mailbox slots send nothing when empty).
    static QByteArray SetValueBlock()
    {
        return "*idn?\n*opt?\nSour:voltac?\nSour:voltdc?\nSour:curr?\nSour:freq?\nSour:phas?\n"
               "Sour:powmax?\noutp:stat?\noutp:phason?\noutp:aux?\nsour:currmax?\n"
               "sour:currtime?\n";
    }
    static QByteArray MeasurementPass()
    {
        return "*tav?\nmeas:volt?\nmeas:curr?\nmeas:pow?\nmeas:va?\nmeas:currp?\nmeas:pfact?\n"
               "meas:cfact?\noutp:stat?\n";
    }

    PtyLink com2{sandbox, 2};
};

} // namespace

TEST_F(PollCycleTest, ConnectReadsIdentitySettingsThenMeasurementPasses)
{
    const std::vector<int> expected =
        Join({Range(31, 43), Range(1, 9), {28, 29}, Range(1, 9), {28, 29}, {1}});
    EXPECT_EQ(Ticks(static_cast<int>(expected.size())), expected);
    // The lines left in that order, with their mixed case; empty slots send nothing.
    const QByteArray lines = SetValueBlock() + MeasurementPass() + MeasurementPass() + "*tav?\n";
    EXPECT_EQ(com2.Read(lines.size()), lines);
    EXPECT_TRUE(Visible("BitBtn8"));
}

TEST_F(PollCycleTest, ThreePhasePassTakesTwentyFiveTicks)
{
    form->ThreePhaseLayout();
    Ticks(13 + 15); // the set-value block now runs to 58
    EXPECT_EQ(form->Cycle().ReplySlot, 58);
    const std::vector<int> pass = Join({Range(1, 23), {28, 29}});
    EXPECT_EQ(Ticks(25), pass);
    EXPECT_EQ(Ticks(25), pass);
}

TEST_F(PollCycleTest, OperatorCommandGoesAtSlot29AndIsFollowedBySetValues)
{
    Ticks(13 + 9); // through the first measurement block up to slot 9
    const QByteArray before = SetValueBlock() + MeasurementPass();
    EXPECT_EQ(com2.Read(before.size()), before);
    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,115\n"); // replaces the first
    EXPECT_EQ(Ticks(2), (std::vector<int>{28, 29}));
    EXPECT_FALSE(form->Cycle().OperatorCommand.pending);
    EXPECT_EQ(Ticks(11), Range(33, 43));
    EXPECT_EQ(Ticks(1), std::vector<int>{1});
    // The command at slot 29, then the set values are read again; *idn? and *opt? are not.
    const QByteArray after = "SOUR:VOLTAC,115\n" + SetValueBlock().mid(12) + "*tav?\n";
    EXPECT_EQ(com2.Read(after.size()), after);
}

TEST_F(PollCycleTest, TimerMailboxGoesOncePerPassAtSlot28)
{
    Ticks(13);
    EXPECT_EQ(com2.Read(SetValueBlock().size()), SetValueBlock());
    for (int i = 0; i < 5; ++i)
        form->Cycle().TimerCommand.Post("SOUR:CURRCLR\n");
    Ticks(11 * 2);
    form->Cycle().TimerCommand.Post("SOUR:CURRCLR\n");
    Ticks(11);
    // Slot 28 follows the pass's last query; five posts made one command.
    const QByteArray clear = "SOUR:CURRCLR\n";
    const QByteArray sent =
        MeasurementPass() + clear + MeasurementPass() + MeasurementPass() + clear;
    EXPECT_EQ(com2.Read(sent.size()), sent);
}

TEST_F(PollCycleTest, CycleBaseOneSkipsTheStatusQuery)
{
    form->Cycle().CycleBase = 1;
    Ticks(13);
    const std::vector<int> pass = Join({Range(2, 9), {28, 29}});
    EXPECT_EQ(Ticks(10, false), pass);
    EXPECT_EQ(Ticks(10, false), pass);
    EXPECT_TRUE(Visible("BitBtn8")); // no watch, no disconnect
}

TEST_F(PollCycleTest, UnansweredStatusDisconnectsAtSlotTwoWhichIsStillSent)
{
    Ticks(13 + 11); // set values, then one pass with its status answered
    EXPECT_EQ(com2.ReadLines(13 + 9).count('\n'), 13 + 9);
    form->Timer1()->start();
    form->Timer1Timer(); // slot 1, not answered
    form->Timer1Timer(); // slot 2: the watch
    EXPECT_EQ(form->Cycle().ReplySlot, 2);
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn7"));
    EXPECT_FALSE(Visible("BitBtn8"));
    EXPECT_EQ(com2.ReadLines(2), "*tav?\nmeas:volt?\n");
    EXPECT_EQ(state.Panel.DeviceIdent.Identification, "Disconnected");
}

TEST_F(PollCycleTest, StatusAnswerArrivedBeforeTheWatchCountsThoughTheQueueIsBehind)
{
    Ticks(13 + 11);
    EXPECT_EQ(com2.ReadLines(13 + 9).count('\n'), 13 + 9);
    form->Timer1()->start();
    form->Timer1Timer(); // slot 1
    EXPECT_EQ(com2.ReadLines(1), "*tav?\n");
    com2.Write("9\r\n");
    // The answer is in; the window has not run its event queue since.
    ASSERT_TRUE(WaitWithoutEvents([&] { return state.Link.ComPort(1).HandOverWaiting(); }));
    form->Timer1Timer(); // slot 2: the watch
    EXPECT_TRUE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn8"));
    EXPECT_FALSE(form->Cycle().StatusPending);
    // Parsed as the status word, not as the answer to slot 2.
    EXPECT_TRUE(Visible("BitBtn11"));
    EXPECT_TRUE(Visible("BitBtn14"));
    EXPECT_FALSE(Visible("BitBtn12"));
}

TEST_F(PollCycleTest, FirstPassAfterSetValuesIsNotWatched)
{
    // Slot 1 reached by the wrap from the set-value block does not arm the watch.
    Ticks(13);
    EXPECT_EQ(Ticks(2, false), (std::vector<int>{1, 2}));
    EXPECT_TRUE(Visible("BitBtn8"));
}
