#pragma once

#include "autotest/result_table.h"

#include <QAbstractTableModel>

// The result grid's rows: result rows 1 ... of the table as grid rows 0 ..., the six captions
// as the header. It reads the table's cells when a view draws them, so a row added costs the
// same at the 500 000th row as at the first; failed rows (marked "Error!", or "no reply") are
// drawn red.
class ResultModel : public QAbstractTableModel {
public:
    explicit ResultModel(const ResultTable& results, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The table changed its row count: rows are added or taken away at the end.
    void RowCountChanged();
    // The table was replaced by another (a rack's other slot): every row is drawn anew.
    void TableReplaced();
    // The table wrote this row (1 ...) of those the views know.
    void RowWritten(int row);

private:
    const ResultTable& m_results;
    int m_rows = 0; // as the views know it, until a change is announced
};
