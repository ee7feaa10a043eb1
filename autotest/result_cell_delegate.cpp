#include "autotest/result_cell_delegate.h"

#include <QApplication>
#include <QPainter>
#include <cmath>

namespace {

// Enough for every distinct text of a long report's page and more; past it the texts are laid
// out afresh.
constexpr int kTextsKept = 4096;

} // namespace

void ResultCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    QStyleOptionViewItem cell(option);
    initStyleOption(&cell, index);
    const QWidget* widget = cell.widget;
    const QStyle* style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = cell.rect.adjusted(margin, 0, -margin, 0);
    const QStaticText& text = LaidOut(cell.text, cell.font);
    // A text wider than its cell is wrapped and cut by the style; it is rare.
    if (text.size().width() > textRect.width()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, widget);
    const QPalette::ColorGroup group = !(cell.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (cell.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    painter->save();
    painter->setPen(cell.palette.color(
        group, (cell.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(cell.font);
    painter->setClipRect(textRect, Qt::IntersectClip);
    const qreal top = textRect.top() + (textRect.height() - text.size().height()) / 2;
    painter->drawStaticText(QPointF(textRect.left(), std::floor(top)), text);
    painter->restore();

    if (cell.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(cell);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &cell, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = cell.palette.color(
            group, (cell.state & QStyle::State_Selected) ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
}

const QStaticText& ResultCellDelegate::LaidOut(const QString& text, const QFont& font) const
{
    if (font != m_font || m_texts.size() >= kTextsKept) {
        m_texts.clear();
        m_font = font;
    }
    auto it = m_texts.find(text);
    if (it == m_texts.end()) {
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut.prepare(QTransform(), font);
        it = m_texts.insert(text, laidOut);
    }
    return *it;
}
