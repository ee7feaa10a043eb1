#include "sequence/grid_widget.h"

#include <QApplication>
#include <QBrush>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <algorithm>

// The cell editors: with the grid's key filter, a ',' typed while editing becomes '.'; with
// commit while typing, the cell holds what the editor shows at every keystroke.
class CommaEditorDelegate : public QStyledItemDelegate {
public:
    explicit CommaEditorDelegate(StepGridWidget* grid) : QStyledItemDelegate(grid), m_grid(grid)
    {
        // Escape cancels an edit: a cell that took the text while it was typed gets back what
        // it held before.
        connect(this, &QAbstractItemDelegate::closeEditor, this,
                [](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                    const QVariant before = editor->property(kBefore);
                    const QVariant index = editor->property(kIndex);
                    if (hint != QAbstractItemDelegate::RevertModelCache || !before.isValid())
                        return;
                    const auto cell = index.value<QPersistentModelIndex>();
                    if (cell.isValid())
                        const_cast<QAbstractItemModel*>(cell.model())->setData(cell, before);
                });
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (!editor)
            return editor;
        if (m_grid->m_options.commaToPoint)
            editor->installEventFilter(m_grid);
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line && m_grid->m_options.commitWhileTyping) {
            editor->setProperty(kBefore, index.data(Qt::EditRole));
            editor->setProperty(kIndex, QVariant::fromValue(QPersistentModelIndex(index)));
            auto* self = const_cast<CommaEditorDelegate*>(this);
            connect(line, &QLineEdit::textChanged, self,
                    [self, line] { Q_EMIT self->commitData(line); });
        }
        return editor;
    }

private:
    static constexpr const char* kBefore = "cellTextBefore";
    static constexpr const char* kIndex = "cellIndex";
    StepGridWidget* m_grid;
};

namespace {

bool IsComma(const QKeyEvent* e) { return e->text() == QLatin1String(","); }

// The same key, as a point.
QKeyEvent PointFor(const QKeyEvent* e)
{
    return QKeyEvent(e->type(), Qt::Key_Period, e->modifiers(), QStringLiteral("."));
}

// The rows below the top one at which dragging scrolls on.
constexpr int kDragScrollRows = 9;

} // namespace

StepGridWidget::StepGridWidget(const StepTableKind& kind, int rows, RowRangeSelection& selection,
                               Options options, QWidget* parent)
    : QTableWidget(rows - 1, static_cast<int>(kind.captions.size()), parent), m_kind(kind),
      m_selection(selection), m_options(std::move(options))
{
    setObjectName(QStringLiteral("StringGrid1"));
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setContextMenuPolicy(Qt::NoContextMenu); // the menu opens on the right press itself
    if (m_options.commaToPoint || m_options.commitWhileTyping)
        setItemDelegate(new CommaEditorDelegate(this));
    for (int c = 0; c < columnCount(); ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem);
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c) {
            auto* cell = new QTableWidgetItem;
            if (c == 0)
                cell->setFlags(Qt::ItemIsEnabled);
            setItem(r, c, cell);
        }
    setRowHidden(rowCount() - 1, true); // the spare row
    // A cell is taken as typed or pasted, but one the file could not keep apart from the next
    // shows red until it is corrected: the save would refuse it.
    connect(this, &QTableWidget::itemChanged, this, [](QTableWidgetItem* cell) {
        const bool wrong = BreaksFields(cell->text());
        if (wrong != cell->data(Qt::ForegroundRole).isValid())
            cell->setData(Qt::ForegroundRole, wrong ? QVariant(QBrush(Qt::red)) : QVariant());
    });
    InitStepGrid(*this, m_kind);
    resizeColumnsToContents();
    horizontalHeader()->setStretchLastSection(true);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    m_menu->addAction(QStringLiteral("Delete"), this, &StepGridWidget::DeleteRange);
    m_menu->addAction(QStringLiteral("Copy"), this, &StepGridWidget::CopyRange);
    m_menu->addAction(QStringLiteral("Move"), this, &StepGridWidget::MoveRange);
    // The open menu takes the release of the right press that opened it; its closing stands in
    // for that release, so the next left press sets the anchor again.
    connect(m_menu, &QMenu::aboutToHide, this, [this] { m_selection.Armed = true; });
}

QString StepGridWidget::Cell(int column, int row) const
{
    if (row == 0) {
        const QTableWidgetItem* h = horizontalHeaderItem(column);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* cell = item(row - 1, column);
    return cell ? cell->text() : QString();
}

void StepGridWidget::SetCell(int column, int row, const QString& text)
{
    if (row == 0) {
        if (QTableWidgetItem* h = horizontalHeaderItem(column))
            h->setText(text);
        return;
    }
    if (QTableWidgetItem* cell = item(row - 1, column))
        cell->setText(text);
}

int StepGridWidget::StepRowAt(const QPoint& pos) const
{
    const int r = rowAt(pos.y());
    return r < 0 ? 0 : r + 1;
}

int StepGridWidget::StepRowNear(const QPoint& pos) const
{
    if (const int row = StepRowAt(pos))
        return row;
    // Above the top visible row (over the captions or above the grid) counts as row 1, below the
    // last one as the last row: the range never reaches past where the pointer went.
    return pos.y() < 0 ? 1 : LastRow();
}

// ---- keys ----

void StepGridWidget::keyPressEvent(QKeyEvent* event)
{
    if (m_options.commaToPoint && IsComma(event)) {
        QKeyEvent point = PointFor(event);
        QTableWidget::keyPressEvent(&point);
        return;
    }
    QTableWidget::keyPressEvent(event);
}

bool StepGridWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && m_options.commaToPoint &&
        IsComma(static_cast<QKeyEvent*>(event))) {
        QKeyEvent point = PointFor(static_cast<QKeyEvent*>(event));
        QApplication::sendEvent(watched, &point);
        return true;
    }
    return QTableWidget::eventFilter(watched, event);
}

// ---- mouse ----

void StepGridWidget::mousePressEvent(QMouseEvent* event)
{
    const int row = StepRowAt(event->position().toPoint());
    const int column = columnAt(event->position().toPoint().x());
    const bool plain = event->modifiers() == Qt::NoModifier;
    if (event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton && plain) {
        m_selection.LeftPress(column, row);
        if (m_options.onLeftPress)
            m_options.onLeftPress(std::clamp(row, 1, LastRow()));
    } else if (event->button() == Qt::RightButton && event->buttons() == Qt::RightButton && plain) {
        m_selection.RightPress(row);
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void StepGridWidget::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_selection.AnchorColumn == 0) {
        ExtendRangeTo(StepRowNear(event->position().toPoint()));
        return;
    }
    QTableWidget::mouseMoveEvent(event);
}

void StepGridWidget::mouseReleaseEvent(QMouseEvent* event)
{
    m_selection.Release(StepRowNear(event->position().toPoint()), LastRow());
    QTableWidget::mouseReleaseEvent(event);
}

void StepGridWidget::ExtendRangeTo(int row)
{
    row = std::clamp(row, 1, LastRow());
    QScrollBar* bar = verticalScrollBar();
    const int top = rowAt(0) + 1;
    if (row > top + kDragScrollRows)
        bar->setValue(bar->value() + 1);
    else if (row < top)
        bar->setValue(bar->value() - 1);
    clearSelection();
    const int from = std::min(m_selection.AnchorRow, row);
    const int to = std::max(m_selection.AnchorRow, row);
    setRangeSelected(QTableWidgetSelectionRange(from - 1, 1, to - 1, columnCount() - 1), true);
    setCurrentCell(row - 1, currentColumn() < 1 ? 1 : currentColumn(),
                   QItemSelectionModel::NoUpdate);
}

void StepGridWidget::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    int column = currentColumn();
    if (m_options.wheelAlwaysToTime || m_selection.AnchorColumn == 0)
        column = 1;
    const int current = currentRow() + 1;
    const int row = delta < 0 ? std::min(current + 1, LastRow()) : std::max(current - 1, 1);
    setCurrentCell(row - 1, column);
    event->accept();
}

// ---- the popup menu ----

void StepGridWidget::DeleteRange()
{
    const int first = m_selection.FirstRow();
    DeleteRows(*this, first, m_selection.Count(), m_kind.newRow);
    setCurrentCell(std::clamp(first, 1, LastRow()) - 1, std::max(currentColumn(), 1));
    NumberRows(*this);
}

void StepGridWidget::CopyRange()
{
    CopyRows(*this, m_selection.FirstRow(), m_selection.Count(), m_selection.TargetRow);
    SelectSingleFirstCell();
}

void StepGridWidget::MoveRange()
{
    MoveRows(*this, m_selection.FirstRow(), m_selection.Count(), m_selection.TargetRow);
    SelectSingleFirstCell();
    NumberRows(*this);
}

void StepGridWidget::SelectSingleFirstCell()
{
    clearSelection();
    setCurrentCell(0, 1);
}
