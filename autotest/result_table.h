#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// The test report as the result grid shows it: row 0 the six captions, then one row per
// reported step. It starts with the caption row and one empty row; a run sets the row count to
// its latest result row plus one, so the grid shows exactly that run's rows.
//
// A burn-in records hundreds of thousands of rows, so a row is kept in 24 bytes: each cell is
// either a decimal number that gives back exactly its text ("230.000", "-0.500", "12") or the
// index of its text in a pool that keeps every distinct text once (steps, comments, limits,
// marks and replies repeat from loop to loop). Every cell reads back as the text written.
class ResultTable {
public:
    enum Column { kStep, kComment, kLowerLimit, kTestResult, kUpperLimit, kMark };
    static constexpr int kColumns = 6;
    // The mark of a row whose value failed its limits, and the value of a query row whose
    // reply did not come (it is marked failed as well).
    static constexpr const char* kFailedMark = "Error!";
    static constexpr const char* kNoReplyValue = "no reply";

    ResultTable();

    static const QStringList& Captions();

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    QString Cell(int column, int row) const;
    QStringList Row(int row) const;
    // Marked "Error!" or without a reply: a row the operator must see as failed.
    bool RowFailed(int row) const;

    void WriteCaptions();
    // Writes the row, adding empty rows up to it when needed.
    void SetRow(int row, const QStringList& cells);
    // Drops rows beyond count, or adds empty ones; never fewer than the caption row.
    void SetRowCount(int count);

    // Told the row just written (0 for the captions) or -1 after the row count changed, so a
    // window can mirror the table and bring the row into view.
    void SetObserver(std::function<void(int row)> observer) { m_observer = std::move(observer); }

private:
    using StoredCell = quint32;
    struct StoredRow {
        StoredCell cells[kColumns] = {};
    };

    StoredCell Store(const QString& text);
    QString Text(StoredCell cell) const;
    StoredCell Intern(const QString& text);
    void DropUnusedTexts();
    void Changed(int row);

    std::deque<StoredRow> m_rows;
    std::vector<QString> m_texts; // the pool; entry 0 is the empty text
    QHash<QString, StoredCell> m_textIndex;
    StoredCell m_failedMark = 0;
    StoredCell m_noReply = 0;
    std::function<void(int row)> m_observer;
};
