#pragma once

#include "autotest/table_window.h"
#include "tests/panel/panel_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>

// The test window over the main window as the program makes them, offscreen.
class TestWindowTest : public PanelFixture {
protected:
    void Open()
    {
        window = std::make_unique<TForm6>(state.Link, state.Places, state.Test, state.Export, form.get());
        window->show();
        QApplication::processEvents();
        grid = window->Grid();
    }
    QString Text(const char* name) const
    {
        return window->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }
    QStringList ResultGridRow(int row) const
    {
        QStringList cells;
        for (int c = 0; c < window->ResultGrid()->columnCount(); ++c) {
            const QTableWidgetItem* item = window->ResultGrid()->item(row - 1, c);
            cells << (item ? item->text() : QString());
        }
        return cells;
    }

    std::unique_ptr<TForm6> window;
    StepGridWidget* grid = nullptr;
};
