// The sequence window's keys, mouse edges and file dialogs, offscreen.
#include "tests/sequence/sequence_window_fixture.h"
#include "widgets/file_dialogs.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTemporaryDir>

namespace {

// Rows of the grid that are highlighted, in order.
std::vector<int> HighlightedRows(const StepGridWidget* grid)
{
    std::vector<int> rows;
    for (const QTableWidgetSelectionRange& range : grid->selectedRanges())
        for (int r = range.topRow(); r <= range.bottomRow(); ++r)
            rows.push_back(r + 1);
    return rows;
}

} // namespace

// Dragging the numbers upwards past the captions marks rows down to 1, and the release there
// keeps that range: "Delete" then removes exactly what was highlighted.
TEST_F(SequenceWindowTest, ReleaseAboveTheGridEndsTheRangeAtRowOne)
{
    Open();
    NumberValues();
    QWidget* view = grid->viewport();
    const QPoint above(CellPos(0, 1).x(), -8); // over the caption row
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, CellPos(0, 5));
    QTest::mouseMove(view, CellPos(0, 3));
    QTest::mouseMove(view, above);
    EXPECT_EQ(HighlightedRows(grid), (std::vector<int>{1, 2, 3, 4, 5}));
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, above);
    EXPECT_EQ(grid->Selection().FirstRow(), 1);
    EXPECT_EQ(grid->Selection().Count(), 5);

    MenuOnRow(20, "Delete");
    EXPECT_EQ(Order(3), (std::vector<int>{6, 7, 8}));
    EXPECT_EQ(grid->Cell(3, 45), "50");
    EXPECT_EQ(grid->Row(46), QStringList({"46", "00.00.00.000", "END", "0", "50", "0"}));
    EXPECT_EQ(grid->Cell(0, 1), " 1");

    // Below the last row counts as the last row.
    grid->scrollToBottom();
    QApplication::processEvents();
    const QPoint below(CellPos(0, 50).x(), grid->viewport()->height() + 8);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, CellPos(0, 48));
    QTest::mouseMove(view, below);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, below);
    EXPECT_EQ(grid->Selection().FirstRow(), 48);
    EXPECT_EQ(grid->Selection().Count(), 3);
}

// The popup opens on a plain right press; a right click with a modifier opens nothing, and after
// the menu closes the next left press sets the anchor again.
TEST_F(SequenceWindowTest, PopupOpensOnAPlainRightPressOnly)
{
    Open();
    QWidget* view = grid->viewport();
    QMenu* menu = grid->PopupMenu();
    QTest::mousePress(view, Qt::RightButton, Qt::ControlModifier, CellPos(2, 6));
    QTest::mouseRelease(view, Qt::RightButton, Qt::ControlModifier, CellPos(2, 6));
    EXPECT_FALSE(menu->isVisible());

    LeftClick(2, 3);
    QTest::mousePress(view, Qt::RightButton, Qt::NoModifier, CellPos(2, 9));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(grid->Selection().TargetRow, 9);
    // The open menu takes the release; letting go outside its entries closes it.
    QTest::mouseRelease(menu, Qt::RightButton, Qt::NoModifier, QPoint(-20, -20));
    menu->hide();
    EXPECT_EQ(grid->Selection().EndRow, 3) << "the right press leaves the range alone";
    LeftClick(2, 12);
    EXPECT_EQ(grid->Selection().AnchorRow, 12);
    EXPECT_EQ(grid->Selection().EndRow, 12);
}

// Escape cancels a cell edit and nothing else: the window with its unsaved table stays open.
TEST_F(SequenceWindowTest, EscapeNeverClosesTheWindow)
{
    Open();
    QTest::keyClick(grid, Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());

    grid->setCurrentCell(1, 3);
    grid->editItem(grid->item(1, 3));
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(grid->currentIndex()));
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("999"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(grid->Cell(3, 2), "0") << "Escape cancels the edit";
    EXPECT_EQ(grid->indexWidget(grid->currentIndex()), nullptr);
}

// "All Files (*.*)" keeps its caption and lists files without a dot.
TEST(FileDialogs, AllFilesShowsItsCaptionAndMatchesEveryName)
{
    QTemporaryDir dir;
    for (const char* name : {"curve.seq", "README", "notes.txt"}) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    SetDialogFilter(dialog, QStringLiteral("Sequenz Files (*.seq)|*.seq|All Files (*.*)|*.*"));
    dialog.setDirectory(dir.path());
    dialog.show();

    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown << types->itemText(i);
    EXPECT_EQ(shown, QStringList({"Sequenz Files (*.seq)", "All Files (*.*)"}));

    auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    auto listed = [&] {
        QStringList names;
        const QModelIndex root = files->index(dir.path());
        for (int r = 0; r < files->rowCount(root); ++r) {
            const QModelIndex i = files->index(r, 0, root);
            // The model keeps filtered names as disabled rows unless they are hidden.
            if (files->flags(i) & Qt::ItemIsEnabled)
                names << files->fileName(i);
        }
        names.sort();
        return names;
    };
    ASSERT_TRUE(WaitUntil([&] { return listed() == QStringList{"curve.seq"}; }));
    Q_EMIT types->activated(1); // the operator's choice
    EXPECT_TRUE(WaitUntil([&] { return listed().size() == 3; }))
        << listed().join(' ').toStdString();
    dialog.hide();
}
