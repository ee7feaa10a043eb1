#pragma once

#include "sequence/row_editing.h"
#include "sequence/step_grid.h"

#include <QTableWidget>
#include <functional>

class QMenu;

// A step table on screen: the caption row is the header, column 0 the read-only step numbers,
// the spare row exists but is never shown. A typed ',' is entered as '.' when asked for; a cell
// holding a ';' or a line break shows its text red. The
// mouse marks row ranges for the popup menu ("Delete", "Copy", "Move"), and the wheel moves the
// current row instead of scrolling.
class StepGridWidget : public QTableWidget, public StepGrid {
    Q_OBJECT

public:
    struct Options {
        bool commaToPoint = false;
        // The wheel puts the cursor into "Time" always, or only when the anchor is in "Nr.".
        bool wheelAlwaysToTime = true;
        // Called with the pressed row at every left press (the test table's start row).
        std::function<void(int row)> onLeftPress;
        // The cell takes the editor's text at every keystroke: a running test reads the row
        // being edited as it stands.
        bool commitWhileTyping = false;
    };

    StepGridWidget(const StepTableKind& kind, int rows, RowRangeSelection& selection,
                   Options options, QWidget* parent = nullptr);

    // StepGrid
    int Columns() const override { return columnCount(); }
    int Rows() const override { return rowCount() + 1; }
    QString Cell(int column, int row) const override;
    void SetCell(int column, int row, const QString& text) override;

    RowRangeSelection& Selection() { return m_selection; }
    QMenu* PopupMenu() const { return m_menu; }

    // The popup menu's entries.
    void DeleteRange();
    void CopyRange();
    void MoveRange();

    // The step row under a viewport position (1-based), or 0 when none.
    int StepRowAt(const QPoint& pos) const;
    // The same, with a position above the rows taken as row 1 and one below them as the last.
    int StepRowNear(const QPoint& pos) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class CommaEditorDelegate;
    void ExtendRangeTo(int row);
    void SelectSingleFirstCell();

    StepTableKind m_kind;
    RowRangeSelection& m_selection;
    Options m_options;
    QMenu* m_menu = nullptr;
};
