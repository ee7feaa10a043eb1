#pragma once

// The sequence window made as the program makes it, offscreen, with the mouse gestures on its
// grid.
#include "sequence/grid_widget.h"
#include "sequence/sequence_window.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"

#include <QApplication>
#include <QMenu>
#include <QTest>
#include <memory>
#include <vector>

class SequenceWindowTest : public PanelFixture {
protected:
    void Open()
    {
        window = std::make_unique<TForm2>(state.Link, state.Export, state.Places);
        window->resize(720, 900); // all rows of interest on screen
        window->show();
        QApplication::processEvents();
        grid = window->Grid();
    }

    QPoint CellPos(int column, int row) const
    {
        return grid->visualRect(grid->model()->index(row - 1, column)).center();
    }

    void LeftClick(int column, int row)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, CellPos(column, row));
    }

    // A right click on a row, then the popup menu entry.
    void MenuOnRow(int row, const QString& entry)
    {
        QTest::mousePress(grid->viewport(), Qt::RightButton, Qt::NoModifier, CellPos(2, row));
        QMenu* menu = grid->PopupMenu();
        EXPECT_TRUE(menu->isVisible()) << "the menu opens on the press";
        QTest::mouseRelease(grid->viewport(), Qt::RightButton, Qt::NoModifier, CellPos(2, row));
        for (QAction* a : menu->actions())
            if (a->text() == entry)
                a->trigger();
        menu->hide();
    }

    std::vector<int> Order(int rows) const
    {
        std::vector<int> order;
        for (int r = 1; r <= rows; ++r)
            order.push_back(grid->Cell(3, r).toInt());
        return order;
    }

    void NumberValues()
    {
        for (int r = 1; r <= 50; ++r)
            grid->SetCell(3, r, QString::number(r));
    }

    std::unique_ptr<TForm2> window;
    StepGridWidget* grid = nullptr;
};
