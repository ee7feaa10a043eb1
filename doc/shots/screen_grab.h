#pragma once

#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QTimer>
#include <QWidget>

// Lets the event loop run for ms (timers, replies, painting) without the application's quit.
inline void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window as the X server shows it, frame included, taken from the screen (the root window)
// as a screenshot program takes it, and saved as PNG (quality 0: the strongest compression).
// 256 colours are plenty for a window's greys and a little colour and keep the file small; a
// plot's smoothed curves keep all theirs (fewColours false).
inline bool SaveWindowShot(QWidget& window, const QString& path, bool fewColours = true)
{
    Settle(300);
    const QRect area = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    QImage picture = shot.toImage();
    if (fewColours)
        picture = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    return !shot.isNull() && picture.save(path, "PNG", 0);
}
