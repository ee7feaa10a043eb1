#pragma once

#include "autotest/result_model.h"

#include <QTableView>

// The result grid: a table view over the report's rows (ResultModel), told of every change of
// the table through TableChanged. A run adds a row per step for as long as it runs, so a row
// added costs the same at the 500 000th row as at the first: the view draws the cells that
// changed and the rows that came in, where QTableView alone lays out the whole view and redraws
// every visible cell at each new row. The row written last is brought into view once the
// window gets to it, so an opened report of many rows scrolls once.
class ResultGridView : public QTableView {
public:
    ResultGridView(const ResultTable& results, QWidget* parent = nullptr);

    // The table's observer: the row just written (0 the captions) or -1 for a new row count.
    void TableChanged(int row);
    // The table now holds another report, of the same length or not: all of it is drawn anew.
    void TableReplaced();

private:
    void RowCountChanged(int oldCount, int newCount);
    void SettleSoon();
    void Settle();
    void UpdateScrollRange();

    ResultModel m_model;
    bool m_settling = false;
    int m_firstNewRow = -1; // the first row added since the view last settled
    int m_rowToShow = -1;
};
