#pragma once

#include "autotest/table_window.h"
#include "tests/panel/panel_fixture.h"

#include <QApplication>
#include <QColor>
#include <QLineEdit>
#include <QTableView>

// The test window over the main window as the program makes them, offscreen.
class TestWindowTest : public PanelFixture {
protected:
    void Open()
    {
        window = std::make_unique<TForm6>(state.Link, state.Places, state.Test, state.Export,
                                          form.get());
        window->show();
        QApplication::processEvents();
        grid = window->Grid();
    }
    QString Text(const char* name) const
    {
        return window->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
    }
    // The result grid as its model gives it to the view: row 1 of the report is grid row 0.
    QStringList ResultGridRow(int row) const
    {
        const QAbstractItemModel* model = window->ResultGrid()->model();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(row - 1, c).data().toString();
        return cells;
    }
    int ResultGridRows() const { return window->ResultGrid()->model()->rowCount(); }
    bool ResultGridRowRed(int row) const
    {
        const QVariant colour =
            window->ResultGrid()->model()->index(row - 1, 0).data(Qt::ForegroundRole);
        return colour.isValid() && colour.value<QColor>() == QColor(Qt::red);
    }

    std::unique_ptr<TForm6> window;
    StepGridWidget* grid = nullptr;
};
