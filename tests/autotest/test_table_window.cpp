// The test window, offscreen, as the program makes it: its ports, its file, its keys, and a run
// against tavsim that fills the result grid.
#include "sequence/grid_widget.h"
#include "tests/autotest/small_table.h"
#include "tests/autotest/test_window_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

// The further ports open with the window and close with it, each with its "CIACOM" line; one
// that another program holds is skipped with one message, and the window is complete anyway.
TEST_F(TestWindowTest, FurtherPortsOpenWithTheWindowAndABusyOneIsSkipped)
{
    PtyLink com3(sandbox, 3), com4(sandbox, 4), com5(sandbox, 5);
    auto sim = StartSimAndWindows(); // the instrument on COM2
    ASSERT_EQ(state.Link.DiscoveredPorts, QStringList({"2", "3", "4", "5"}));
    TCiaComPort thief; // takes COM4 after start-up
    thief.SetPort(4);
    thief.SetActive(true);
    const int logStart = LogLines().size();

    Open();
    EXPECT_EQ(window->windowTitle(), "Test");
    EXPECT_EQ(grid->Row(1),
              QStringList({" 1", "00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}));
    EXPECT_EQ(grid->Cell(0, 201), "201");
    EXPECT_EQ(window->ResultGrid()->model()->headerData(3, Qt::Horizontal).toString(),
              "Test Result");
    EXPECT_EQ(Text("DateEdit"), state.Places.StartDate);
    EXPECT_EQ(Text("SerialEdit"), "0505000120");
    EXPECT_NE(state.Link.TestWindow, nullptr);
    // Entry i of the list on object i + 2; the instrument's own port is skipped.
    EXPECT_EQ(LogLines().mid(logStart),
              QStringList({"> CIACOM3 3 open3", "> CIACOM4 4 open4", "> CIACOM5 5 open5"}));
    EXPECT_TRUE(state.Link.ComPort(3).Active());
    EXPECT_FALSE(state.Link.ComPort(4).Active());
    EXPECT_TRUE(state.Link.ComPort(5).Active());
    // No box for a port no row uses; the first Start of a table that names COM4 tells why it
    // is not open, once.
    QCoreApplication::processEvents();
    EXPECT_TRUE(messages.isEmpty());
    grid->SetCell(kTestCommand, 1, "@COM04:RST");
    grid->SetCell(kTestCommand, 2, "END");
    auto* timer = window->findChild<QTimer*>("Timer1");
    for (int start = 0; start < 2; ++start) {
        window->findChild<QPushButton*>("Button3")->click();
        ASSERT_TRUE(WaitUntil([&] { return !timer->isActive() && !messages.isEmpty(); }));
        QCoreApplication::processEvents();
    }
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].startsWith("\\\\.\\COM4 (")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("held by another program; the rows with @COM04 are not sent"))
        << messages[0].toStdString();

    window->findChild<QPushButton*>("CloseButton")->click();
    EXPECT_FALSE(state.Link.ComPort(3).Active());
    EXPECT_FALSE(state.Link.ComPort(5).Active());
    EXPECT_EQ(state.Link.TestWindow, nullptr);
    EXPECT_EQ(LogLines().mid(LogLines().size() - 3),
              QStringList({"> CIACOM3 3 close", "> CIACOM4 4 close", "> CIACOM5 5 close"}));
    EXPECT_EQ(messages.size(), 1);
}

// What an operator types into a cell counts before the edit is committed, Escape only cancels
// it, and the file round-trips through the window with its caption and header copies.
TEST_F(TestWindowTest, EditingKeysAndFile)
{
    CreateWindows();
    Open();
    grid->setCurrentCell(1, 2);
    grid->editItem(grid->item(1, 2));
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "MEAS:VOLT?");
    EXPECT_EQ(grid->Cell(kTestCommand, 2), "MEAS:VOLT?") << "read while still editing";
    QTest::keyClicks(editor, "1,5");
    EXPECT_EQ(grid->Cell(kTestCommand, 2), "MEAS:VOLT?1,5") << "no comma filter here";
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(grid->Cell(kTestCommand, 2), "END") << "Escape cancels the edit";
    QTest::keyClick(grid, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    grid->SetCell(kTestCommand, 1, "MEAS:VOLT?");

    window->findChild<QLineEdit*>("UnitEdit")->setText("PSU");
    const QString path = CwdFile("unit.tst");
    window->SaveTest(path);
    EXPECT_EQ(window->windowTitle(), "Test " + path);
    EXPECT_EQ(state.Test.TestRun.Copies.UnitText, "PSU");
    EXPECT_TRUE(ReadFileBytes(path).startsWith("Test-File:\r\nReporter:;KELM-Electronic\r\n"
                                               "Unit:;PSU\r\n"));

    window.reset();
    Open();
    EXPECT_EQ(Text("UnitEdit"), "TAV Power Source") << "every opening starts from the defaults";
    window->OpenTest(path);
    EXPECT_EQ(Text("UnitEdit"), "PSU");
    EXPECT_EQ(grid->Cell(kTestCommand, 1), "MEAS:VOLT?");
}

// A ';' typed into a cell is taken and shown red; "Save Test" refuses the table with one message
// naming the cell and leaves the file on disk as it was. Characters outside Latin-1 are saved as
// '?' only when the operator agrees.
TEST_F(TestWindowTest, SaveRefusesSeparatorsAndAsksAboutCharactersOutsideLatin1)
{
    CreateWindows();
    Open();
    grid->SetCell(kTestCommand, 1, "MEAS:VOLT?");
    grid->setCurrentCell(0, kTestComment);
    grid->editItem(grid->item(0, kTestComment));
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "set; check");
    QTest::keyClick(editor, Qt::Key_Return);
    const QTableWidgetItem* cell = grid->item(0, kTestComment);
    EXPECT_EQ(cell->text(), "set; check");
    EXPECT_EQ(cell->foreground().color(), QColor(Qt::red));

    const QString path = CwdFile("kept.tst");
    ASSERT_TRUE(WriteFileBytes(path, "earlier"));
    window->SaveTest(path);
    EXPECT_EQ(messages, QStringList({"Row 1, column \"Comment\" holds a ';' or a line break, "
                                     "which would shift the later fields of its line when the "
                                     "file is read back. Nothing was saved; correct the cell and "
                                     "save again."}));
    EXPECT_EQ(ReadFileBytes(path), "earlier");
    EXPECT_EQ(window->windowTitle(), "Test");

    grid->SetCell(kTestComment, 1, "set, check");
    EXPECT_FALSE(cell->data(Qt::ForegroundRole).isValid()) << "black again once corrected";
    window->findChild<QLineEdit*>("UnitEdit")->setText("Unit \u03a9");
    QStringList questions;
    bool agree = false;
    SetOperatorQuestionHook([&](const QString& text) {
        questions << text;
        return agree;
    });
    window->SaveTest(path);
    EXPECT_EQ(ReadFileBytes(path), "earlier");
    agree = true;
    window->SaveTest(path);
    SetOperatorQuestionHook(nullptr);
    EXPECT_EQ(questions.value(0), "The field \"Unit:\" holds characters that the file cannot keep "
                                  "(it holds Latin-1 characters only).\n\nSave with '?' in their "
                                  "place?");
    EXPECT_EQ(questions.size(), 2);
    EXPECT_TRUE(ReadFileBytes(path).contains("\r\nUnit:;Unit ?\r\n"));
    EXPECT_TRUE(
        ReadFileBytes(path).contains(" 1;00.00.00.000;MEAS:VOLT?;0;0;0;;;set, check;1\r\n"));
    EXPECT_EQ(messages.size(), 1);
}

// The style sheets a widget is given, in order.
struct StyleLog : QObject {
    explicit StyleLog(QWidget* widget) : m_widget(widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::StyleChange)
            sheets << m_widget->styleSheet();
        return false;
    }
    QStringList sheets;

private:
    QWidget* m_widget;
};

// A table run from the window against the simulated instrument: the grid fills, the failed row
// is marked and the result shows red until the next row.
TEST_F(TestWindowTest, RunAgainstTheInstrumentFillsTheResultGrid)
{
    auto sim = StartSimAndWindows({"--load-ohm", "50"});
    Open();
    PutSmallTable(*grid);
    const QString path = CwdFile("small.tst");
    window->SaveTest(path);
    window.reset();
    Open();
    window->OpenTest(path);

    StyleLog bigResult(window->findChild<QLabel*>("ResultLabel"));
    window->findChild<QPushButton*>("Button3")->click();
    EXPECT_TRUE(window->Timer1()->isActive());
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }, 30000));
    // Red from the failed row 4 until the next row, restyled only when that changes.
    EXPECT_EQ(bigResult.sheets.join('|').toStdString(),
              "font-size: 28px; font-weight: bold; color: red;|"
              "font-size: 28px; font-weight: bold; ");
    EXPECT_EQ(AllRows(window->Results()), SmallTableResults());
    ASSERT_EQ(ResultGridRows(), SmallTableResults().size() - 1);
    // The failed row stands out red in the grid as well, the others do not.
    for (int r = 1; r < SmallTableResults().size(); ++r) {
        EXPECT_EQ(ResultGridRow(r), SmallTableResults()[r]) << r;
        EXPECT_EQ(ResultGridRowRed(r), SmallTableResults()[r][ResultTable::kMark] == "Error!") << r;
    }
    EXPECT_TRUE(window->ReportFontBold());
    QStringList sent;
    for (const auto& l : sim->Received())
        sent << l.line;
    EXPECT_EQ(sent.mid(sent.size() - SmallTableLines().size()), SmallTableLines());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

// The instrument's port answered by the test itself.
class TestWindowReplies : public TestWindowTest {
protected:
    PtyLink com2{sandbox, 2};
};

// A reply that came in before the next tick is checked against the row that asked for it, even
// when the window has not run its event queue since: the tick takes it first.
TEST_F(TestWindowReplies, ReplyArrivedBeforeTheTickIsCheckedAgainstItsOwnRow)
{
    CreateWindows();
    ASSERT_TRUE(state.Link.ComPort(1).Active());
    Open();
    PutRows(*grid, {{"00.00.00.100", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
                    {"00.00.00.100", "MEAS:CURR?", "0", "0", "0", "4.5", "4.7", "I", "1"}});
    window->findChild<QPushButton*>("Button3")->click();
    window->Timer1()->stop(); // the test ticks
    window->Timer1Timer();
    EXPECT_TRUE(com2.ReadLines(1).contains("MEAS:VOLT?"));
    com2.Write("230.0V\r\n");
    ASSERT_TRUE(WaitWithoutEvents([&] { return state.Link.ComPort(1).HandOverWaiting(); }));
    for (int i = 0; i < 3; ++i)
        window->Timer1Timer();
    EXPECT_TRUE(com2.ReadLines(1).contains("MEAS:CURR?"));
    EXPECT_EQ(ResultGridRow(1), QStringList({" 1", "UAC", "225.000", "230.000", "235.000", ""}));
}

// The result shows the reply's value, and is cleared when the next query gets no reply: the
// previous row's value must not stand for the unanswered one.
TEST_F(TestWindowReplies, ResultShowsTheValueAndIsClearedWhileNoReplyCame)
{
    CreateWindows();
    Open();
    PutRows(*grid, {{"00.00.00.100", "MEAS:VOLT?", "0", "0", "0", "225", "235", "UAC", "1"},
                    {"00.00.05.000", "MEAS:CURR?", "0", "0", "0", "4.5", "4.7", "I", "1"}});
    const auto* field = window->findChild<QLineEdit*>("Edit3");
    const auto* label = window->findChild<QLabel*>("ResultLabel");
    const auto shown = [&](const QString& text) {
        return WaitUntil([&] { return field->text() == text && label->text() == text; }, 3000);
    };
    window->findChild<QPushButton*>("Button3")->click();
    EXPECT_TRUE(com2.ReadLines(1).contains("MEAS:VOLT?"));
    com2.Write("230.0V\r\n");
    EXPECT_TRUE(shown("230.000")) << field->text().toStdString();
    EXPECT_TRUE(com2.ReadLines(1).contains("MEAS:CURR?"));
    EXPECT_TRUE(shown("")) << field->text().toStdString();
    EXPECT_TRUE(window->Timer1()->isActive());
}
