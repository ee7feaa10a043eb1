#include "autotest/result_table.h"

ResultTable::ResultTable() : m_rows{Captions(), QStringList(kColumns, QString())} {}

const QStringList& ResultTable::Captions()
{
    static const QStringList captions{"Step",        "Comment",     "Lower Limit",
                                      "Test Result", "Upper Limit", "Mark"};
    return captions;
}

QString ResultTable::Cell(int column, int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    return m_rows[static_cast<size_t>(row)].value(column);
}

QStringList ResultTable::Row(int row) const
{
    if (row < 0 || row >= RowCount())
        return QStringList(kColumns, QString());
    return m_rows[static_cast<size_t>(row)];
}

void ResultTable::WriteCaptions() { SetRow(0, Captions()); }

void ResultTable::SetRow(int row, const QStringList& cells)
{
    if (row < 0)
        return;
    if (row >= RowCount())
        SetRowCount(row + 1);
    QStringList& target = m_rows[static_cast<size_t>(row)];
    for (int c = 0; c < kColumns; ++c)
        target[c] = cells.value(c);
    Changed(row);
}

void ResultTable::SetRowCount(int count)
{
    m_rows.resize(static_cast<size_t>(std::max(count, 1)), QStringList(kColumns, QString()));
    Changed(-1);
}

void ResultTable::Changed(int row)
{
    if (m_observer)
        m_observer(row);
}
