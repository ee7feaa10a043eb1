// What the sequence window sends to the instrument over a serial link: the transfer, driven
// through its two timer handlers, and the run-control lines. The pacing is measured in bench/.
#include "panel/direct_send.h"
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class SequenceInstrumentTest : public PanelFixture {
protected:
    QLineEdit* Field(const char* name) const { return window->findChild<QLineEdit*>(name); }
    QPushButton* Button(const char* name) const { return window->findChild<QPushButton*>(name); }

    // Runs the transfer to its end as its timers would: every row timer tick, then the command
    // timer for as long as it stays on. Returns the row timer ticks it took.
    int RunTransfer()
    {
        int rowTicks = 0;
        while (window->RowTimer()->isActive() && rowTicks < 60) {
            window->RowTimerTimer();
            ++rowTicks;
            int commandTicks = 0;
            while (window->CommandTimer()->isActive() && commandTicks < 10) {
                window->CommandTimerTimer();
                ++commandTicks;
            }
            // A row is five commands, after which the command timer is off until the next row.
            if (window->RowTimer()->isActive()) {
                EXPECT_EQ(commandTicks, 5) << "row timer tick " << rowTicks;
            }
        }
        return rowTicks;
    }

    std::unique_ptr<TForm2> window;
};

} // namespace

TEST_F(SequenceInstrumentTest, TransferArrivesCompleteAndIsStoredByTheInstrument)
{
    auto sim = StartSimAndWindows();
    window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
    StepGridWidget* grid = window->Grid();
    grid->SetRow(1, {" 1", "00.00.01.000", "UAC", "230", "50", "0"});
    grid->SetRow(2, {" 2", "00.00.02.000", "FREQ", "0", "60", "0"});
    grid->SetRow(3, {" 3", "00.00.00.500", "UDC", "12.5", "60", "1"});
    Field("CountEdit")->setText("2");
    const QStringList sequence({"SEQ:TIME,00.00.01.000",
                                "SEQ:VAL3,50",
                                "SEQ:VAL1,230",
                                "SEQ:VAL2,0",
                                "SEQ:NEW,4",
                                "SEQ:TIME,00.00.02.000",
                                "SEQ:VAL3,60",
                                "SEQ:VAL1,0",
                                "SEQ:VAL2,0",
                                "SEQ:SET,1",
                                "SEQ:TIME,00.00.00.500",
                                "SEQ:VAL3,60",
                                "SEQ:VAL1,12.5",
                                "SEQ:VAL2,1",
                                "SEQ:SET,3",
                                "SEQ:TIME,00.00.00.000",
                                "SEQ:VAL3,50",
                                "SEQ:VAL1,0",
                                "SEQ:VAL2,0",
                                "SEQ:SET,255",
                                "SEQ:CNT,2"});
    // The same window transfers a second time just as the first: nothing of the first is left.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        Button("TransferButton")->click();
        EXPECT_FALSE(Button("TransferButton")->isEnabled());
        EXPECT_TRUE(window->RowTimer()->isActive());
        EXPECT_FALSE(window->CommandTimer()->isActive());
        // Four rows (the fourth is the END of a new table), then the tick that closes it.
        EXPECT_EQ(RunTransfer(), 5);
        EXPECT_TRUE(Button("TransferButton")->isEnabled());
        EXPECT_FALSE(window->CommandTimer()->isActive());
        ASSERT_TRUE(WaitUntil([&] {
            return static_cast<qsizetype>(sim->Received().size()) >= round * sequence.size() &&
                   sim->Received().back().line == "SEQ:CNT,2";
        }));
        QStringList lines;
        for (const auto& l : sim->Received())
            lines.append(l.line);
        EXPECT_EQ(lines.mid((round - 1) * sequence.size()), sequence);
    }
    EXPECT_TRUE(messages.isEmpty());

    // What the instrument stored: its answers reach the service tool's log.
    const std::pair<const char*, const char*> readBack[] = {
        {"SEQ:ROWS?\n", "> 4"},
        {"SEQ:ROW?,1\n", "> 00.00.01.000;50;230;0;4"},
        {"SEQ:ROW?,2\n", "> 00.00.02.000;60;0;0;1"},
        {"SEQ:ROW?,3\n", "> 00.00.00.500;60;12.5;1;3"},
        {"SEQ:ROW?,4\n", "> 00.00.00.000;50;0;0;255"},
        {"SEQ:CNT?\n", "> 2"}};
    for (const auto& [query, answer] : readBack) {
        const qsizetype logged = LogLines().size();
        SendToInstrument(state.Link, query);
        ASSERT_TRUE(WaitUntil([&] { return LogLines().size() > logged; })) << query;
        EXPECT_EQ(LogLines().last(), answer) << query;
    }
}

TEST_F(SequenceInstrumentTest, RunControlSendsItsLinesAlsoBetweenThoseOfATransfer)
{
    PtyLink com2(sandbox, 2);
    CreateWindows();
    window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
    Field("CountEdit")->setText("3");
    Field("SeqNrEdit")->setText("7");
    const std::pair<const char*, QByteArray> buttons[] = {{"GoButton", "SEQ:GO,3\n"},
                                                          {"StopButton", "SEQ:STOP,\n"},
                                                          {"LoadButton", "SEQ:LOAD,7\n"},
                                                          {"StoreButton", "SEQ:STORE,7\n"}};
    for (const auto& [button, line] : buttons) {
        Button(button)->click();
        EXPECT_EQ(com2.ReadLines(1), line) << button;
    }
    // During a transfer the buttons stay usable; their line goes out at once.
    Button("TransferButton")->click();
    window->RowTimerTimer();
    window->CommandTimerTimer();
    Button("StopButton")->click();
    window->CommandTimerTimer();
    EXPECT_EQ(com2.ReadLines(3), "SEQ:TIME,00.00.00.000\nSEQ:STOP,\nSEQ:VAL3,50\n");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SequenceInstrumentTest, FailedSaveIsToldAndKeepsTheFile)
{
    CreateWindows();
    window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
    const QString path = CwdFile("kept.seq");
    window->SaveFile(path);
    const QByteArray kept = ReadFileBytes(path);
    ASSERT_FALSE(kept.isEmpty());
    window->Grid()->SetRow(1, {" 1", "00.00.09.000", "UDC", "12", "60", "0"});
    {
        FileSizeLimit limit(100);
        ASSERT_TRUE(limit.Active());
        window->SaveFile(path);
    }
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(ReadFileBytes(path), kept);
}
