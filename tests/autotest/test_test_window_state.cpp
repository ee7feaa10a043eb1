// What an operator sees of a run and of the link around it: the test window's run state in
// words and colour, and the main window after the test window has had the link.
#include "sequence/grid_widget.h"
#include "tests/autotest/small_table.h"
#include "tests/autotest/test_window_fixture.h"
#include "tests/support/qt_wait.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class RunStateDisplay : public TestWindowTest {
protected:
    QString State() const { return window->findChild<QLabel*>("RunStateLabel")->text(); }
    bool StateRed() const
    {
        return window->findChild<QLabel*>("RunStateLabel")->styleSheet().contains("#c00000");
    }
    void Click(const char* button) { window->findChild<QPushButton*>(button)->click(); }
    // Waits until the run's tick has stopped (held or ended).
    bool Halted()
    {
        return WaitUntil([&] { return !window->Timer1()->isActive(); });
    }
};

} // namespace

// A PAUSE row holds with "PAUSE" in "Result:", "Stop at Error" holds at the failed row, a jump to
// no row ends the run with its reason; run again after the table is mended, the state starts
// afresh and ends as finished with its counts, red for the failed row. The rows counted are the
// report's, as tavtest counts them: a hidden row is not one.
TEST_F(RunStateDisplay, HeldStoppedEndedAndFinishedRunsSayWhy)
{
    auto sim = StartSimAndWindows();
    Open();
    window->findChild<QCheckBox*>("StopAtErrorBox")->setChecked(true);
    PutRows(*grid, {{"00.00.00.100", "PAUSE", "0", "0", "0", "", "", "Connect the load", "1"},
                    {"00.00.00.300", "MEAS:VOLT?", "0", "0", "0", "100", "300", "U", "1"},
                    {"00.00.00.100", "OUTP,0", "0", "0", "0", "", "", "hidden", "0"},
                    {"00.00.00.100", "GOTO", "250", "0", "1", "", "", "", "1"}});
    const struct {
        const char* lastCommand;
        const char* end;
        bool endRed;
    } runs[] = {{"GOTO", "Ended by an error: END: no row 250", true},
                {"END", "Finished: 2 rows, 1 failed", true}};
    for (const auto& run : runs) {
        grid->SetCell(kTestCommand, 4, run.lastCommand);
        Click("Button3");
        ASSERT_TRUE(Halted());
        EXPECT_EQ(State(), "Paused at row 1 (PAUSE): press Continue");
        EXPECT_EQ(Text("Edit3"), "PAUSE");
        EXPECT_FALSE(StateRed());
        Click("Button6");
        EXPECT_EQ(State(), "Running: row 1");
        ASSERT_TRUE(Halted());
        EXPECT_EQ(State(), "Stopped at an error in row 2: press Continue");
        EXPECT_TRUE(StateRed());
        Click("Button6");
        ASSERT_TRUE(Halted());
        EXPECT_EQ(State().toStdString(), run.end);
        EXPECT_EQ(StateRed(), run.endRed);
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

// The test window, opened from the menu, has the link: the panel stops polling, dims what it
// showed and says why. A table switches the output on (then, the second time, off) and reads the
// voltage; once the window is closed the pair shows the output as the instrument has it, not as
// the table's last reply would make it look. Connect brightens the readings again.
TEST_F(TestWindowTest, OutputStateAfterTheTestWindowIsTheInstruments)
{
    auto sim = StartSimAndWindows();
    windows.Test.SetFactory([this](QWidget* p) {
        return new TForm6(state.Link, state.Places, state.Test, state.Export, p);
    });
    for (const bool on : {true, false}) {
        ConnectDriven();
        TickThrough(9);
        EXPECT_FALSE(form->ReadingStale(2));
        EXPECT_EQ(form->LinkStatus(), "COM2 19200 — polling");
        QString statusDuringRun;
        QTimer::singleShot(0, [&] {
            auto* test = qobject_cast<TForm6*>(windows.Test.Instance());
            PutRows(*test->Grid(),
                    {{"00.00.00.100", on ? "OUTP,1" : "OUTP,0", "0", "0", "0", "", "", "", "1"},
                     {"00.00.00.300", "MEAS:VOLT?", "0", "0", "0", "0", "300", "U", "1"},
                     {"00.00.00.100", "END", "0", "0", "0", "", "", "", "1"}});
            test->findChild<QPushButton*>("Button3")->click();
            WaitUntil([&] { return !test->Timer1()->isActive(); });
            statusDuringRun = form->LinkStatus();
            test->reject();
        });
        form->Start1Click();
        EXPECT_EQ(statusDuringRun, "polling stopped while the test window is open");
        EXPECT_EQ(form->LinkStatus(), "not connected");
        const char* shown = on ? "OutputOnButton" : "OutputOffButton";
        ASSERT_TRUE(WaitUntil([&] { return Visible(shown); })) << shown;
        PumpEvents(200); // a stray line must not turn it over again
        EXPECT_TRUE(Visible(shown)) << shown;
        EXPECT_TRUE(form->ReadingStale(2));
        EXPECT_EQ(Edit("Edit1")->palette().color(QPalette::Text), QColor(0x9a, 0x9a, 0x9a));
    }
    ConnectDriven();
    TickThrough(9);
    EXPECT_FALSE(form->ReadingStale(2));
    EXPECT_NE(Edit("Edit1")->palette().color(QPalette::Text), QColor(0x9a, 0x9a, 0x9a));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}
