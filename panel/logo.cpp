#include "panel/logo.h"

#include <QMouseEvent>
#include <QPainter>

QPixmap MakeLogo(int height)
{
    const int width = height * 2;
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0, 51, 153));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, width, height), height / 6.0, height / 6.0);
    QFont font(QStringLiteral("Sans"));
    font.setBold(true);
    font.setPixelSize(height * 9 / 20);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, width, height), Qt::AlignCenter, QStringLiteral("KELM"));
    p.setPen(QPen(QColor(255, 204, 0), height / 16.0));
    p.drawLine(QPointF(width * 0.15, height * 0.8), QPointF(width * 0.85, height * 0.8));
    return pixmap;
}

ClickableLogo::ClickableLogo(QWidget* parent) : QLabel(parent)
{
    setPixmap(MakeLogo());
    setCursor(Qt::PointingHandCursor);
}

void ClickableLogo::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}
