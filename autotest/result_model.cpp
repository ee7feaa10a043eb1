#include "autotest/result_model.h"

#include <QColor>

ResultModel::ResultModel(const ResultTable& results, QObject* parent)
    : QAbstractTableModel(parent), m_results(results), m_rows(std::max(results.RowCount() - 1, 0))
{}

int ResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int ResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ResultTable::kColumns;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    if (role == Qt::DisplayRole)
        return m_results.Cell(index.column(), row);
    if (role == Qt::ForegroundRole && m_results.RowFailed(row))
        return QColor(Qt::red);
    return {};
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ResultTable::Captions().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void ResultModel::RowWritten(int row)
{
    // Cell by cell: a view redraws a range of cells by redrawing all it shows.
    if (row >= 1 && row <= m_rows)
        for (int c = 0; c < ResultTable::kColumns; ++c)
            Q_EMIT dataChanged(index(row - 1, c), index(row - 1, c));
}

void ResultModel::TableReplaced()
{
    beginResetModel();
    m_rows = std::max(m_results.RowCount() - 1, 0);
    endResetModel();
}

void ResultModel::RowCountChanged()
{
    const int rows = std::max(m_results.RowCount() - 1, 0);
    if (rows > m_rows) {
        beginInsertRows(QModelIndex(), m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows(QModelIndex(), rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
}
