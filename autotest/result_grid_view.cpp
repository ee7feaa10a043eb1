#include "autotest/result_grid_view.h"

#include "autotest/result_cell_delegate.h"

#include <QHeaderView>
#include <QRegion>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace {

// A scroll bar redrawn only where it would look different: a run adds a row at a time, which
// moves the handle by a pixel or less (nothing at all once there are many thousand rows), where
// QScrollBar redraws itself whole at every change of its value or range.
class SteadyScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

    // Between the two, changes are compared with what is drawn only once, at the end: a row
    // added widens the range, which moves the handle up, and bringing that row into view moves
    // it back to the end, where it was.
    void Hold() { m_held = true; }
    void Release()
    {
        m_held = false;
        if (m_changedWhileHeld)
            sliderChange(SliderValueChange);
        m_changedWhileHeld = false;
    }

protected:
    void sliderChange(SliderChange change) override
    {
        if (change == SliderOrientationChange || !m_painted.valid) {
            QScrollBar::sliderChange(change);
            return;
        }
        if (m_held) {
            m_changedWhileHeld = true;
            return;
        }
        // The groove stays as it is: only where the handle was and is now (with the frame the
        // style draws around it), and an arrow that is dimmed at its end or no longer.
        const Look now = LookNow();
        QRegion changed;
        if (now.handle != m_painted.handle)
            changed += now.handle.united(m_painted.handle).adjusted(-2, -2, 2, 2);
        if (now.atMinimum != m_painted.atMinimum)
            changed += Part(QStyle::SC_ScrollBarSubLine);
        if (now.atMaximum != m_painted.atMaximum)
            changed += Part(QStyle::SC_ScrollBarAddLine);
        if (!changed.isEmpty())
            update(changed);
    }
    void paintEvent(QPaintEvent* event) override
    {
        m_painted = LookNow();
        QScrollBar::paintEvent(event);
    }

private:
    // What the style draws from the slider's values: the handle, and the arrows that are dimmed
    // at either end.
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool valid = false;
    };
    QRect Part(QStyle::SubControl part) const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_ScrollBar, &option, part, this);
    }
    Look LookNow() const
    {
        return {Part(QStyle::SC_ScrollBarSlider), value() == minimum(), value() == maximum(), true};
    }

    Look m_painted; // as last drawn; none before the first paint
    bool m_held = false;
    bool m_changedWhileHeld = false;
};

} // namespace

ResultGridView::ResultGridView(const ResultTable& results, QWidget* parent)
    : QTableView(parent), m_model(results)
{
    setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical, this));
    setItemDelegate(new ResultCellDelegate(this));
    setModel(&m_model);
    // QTableView answers every change of the row count with a layout of the whole view and a
    // redraw of every visible cell. Rows added at the end need no more than the scroll range
    // and the rows themselves; rows taken away still get the whole layout.
    if (disconnect(verticalHeader(), SIGNAL(sectionCountChanged(int, int)), this,
                   SLOT(rowCountChanged(int, int))))
        connect(verticalHeader(), &QHeaderView::sectionCountChanged, this,
                &ResultGridView::RowCountChanged);
}

void ResultGridView::TableReplaced()
{
    m_firstNewRow = -1;
    m_model.TableReplaced();
    viewport()->update();
}

void ResultGridView::TableChanged(int row)
{
    if (row < 0) {
        m_model.RowCountChanged();
        return;
    }
    if (row == 0)
        return; // the captions are fixed
    // A row that came in since the view last settled is drawn whole then; telling the view of
    // each cell would make it find the row's place among all rows at every row added.
    if (m_firstNewRow < 0 || row - 1 < m_firstNewRow)
        m_model.RowWritten(row);
    m_rowToShow = row - 1;
    SettleSoon();
}

void ResultGridView::RowCountChanged(int oldCount, int newCount)
{
    if (newCount < oldCount) {
        m_firstNewRow = -1;
        QTableView::rowCountChanged(oldCount, newCount);
        return;
    }
    if (m_firstNewRow < 0)
        m_firstNewRow = oldCount;
    SettleSoon();
}

// Once the changes of this turn of the event loop are in, and before the window is drawn (a
// posted call comes before the window's low-priority update request), so the window is drawn
// once per reply.
void ResultGridView::SettleSoon()
{
    if (m_settling)
        return;
    m_settling = true;
    QMetaObject::invokeMethod(this, &ResultGridView::Settle, Qt::QueuedConnection);
}

void ResultGridView::Settle()
{
    m_settling = false;
    auto* bar = static_cast<SteadyScrollBar*>(verticalScrollBar());
    bar->Hold();
    if (m_firstNewRow >= 0) {
        UpdateScrollRange();
        // The rows that came in, where they show (not at all when the view was full).
        const int top = std::max(rowViewportPosition(m_firstNewRow), 0);
        if (top < viewport()->height())
            viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
        m_firstNewRow = -1;
    }
    if (m_rowToShow >= 0 && m_rowToShow < m_model.rowCount())
        scrollTo(m_model.index(m_rowToShow, 0));
    m_rowToShow = -1;
    bar->Release();
}

// Scrolled by rows, the last page is the rows at the end that fit the viewport whole, as
// QTableView sets it; found from the end, without laying out the headers again.
void ResultGridView::UpdateScrollRange()
{
    if (verticalScrollMode() != ScrollPerItem) {
        updateGeometries();
        return;
    }
    const QHeaderView* rows = verticalHeader();
    const int count = rows->count();
    const int height = viewport()->height();
    int fitting = 0;
    for (int r = count - 1, used = 0; r >= 0; --r) {
        const int logical = rows->logicalIndex(r);
        if (rows->isSectionHidden(logical))
            continue;
        used += rows->sectionSize(logical);
        if (used > height)
            break;
        ++fitting;
    }
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(fitting);
    bar->setRange(0, std::max(count - fitting, 0));
}
