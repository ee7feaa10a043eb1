#include "common/text_pad.h"

QString PadText(const QString& text, int width, bool before)
{
    return before ? text.rightJustified(width, QLatin1Char(' '))
                  : text.leftJustified(width, QLatin1Char(' '));
}

QString PadZeros(const QString& text, int width)
{
    return text.rightJustified(width, QLatin1Char('0'));
}
