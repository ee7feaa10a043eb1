#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The test report as the result grid shows it: row 0 the six captions, then one row per
// reported step. It starts with the caption row and one empty row; a run sets the row count to
// its latest result row plus one, so the grid shows exactly that run's rows.
class ResultTable {
public:
    enum Column { kStep, kComment, kLowerLimit, kTestResult, kUpperLimit, kMark };
    static constexpr int kColumns = 6;

    ResultTable();

    static const QStringList& Captions();

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    QString Cell(int column, int row) const;
    QStringList Row(int row) const;

    void WriteCaptions();
    // Writes the row, adding empty rows up to it when needed.
    void SetRow(int row, const QStringList& cells);
    // Drops rows beyond count, or adds empty ones; never fewer than the caption row.
    void SetRowCount(int count);

    // Told the row just written (0 for the captions) or -1 after the row count changed, so a
    // window can mirror the table and bring the row into view.
    void SetObserver(std::function<void(int row)> observer) { m_observer = std::move(observer); }

private:
    void Changed(int row);

    std::vector<QStringList> m_rows;
    std::function<void(int row)> m_observer;
};
