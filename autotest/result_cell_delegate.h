#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

// The result grid's cells, drawn as the view's style draws a plain text cell (its background and
// selection, the row's colour, the focus frame), with each distinct text laid out once; a text
// wider than its cell is left to the style, which wraps and cuts it. The style lays a cell's text
// out twice at every paint and shapes it once more to draw it, which made drawing the newest row
// most of what a running table costs; the texts of a report repeat from loop to loop.
class ResultCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    const QStaticText& LaidOut(const QString& text, const QFont& font) const;

    mutable QHash<QString, QStaticText> m_texts;
    mutable QFont m_font; // the texts' font
};
