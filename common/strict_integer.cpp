#include "common/strict_integer.h"

#include <stdexcept>

int32_t ConvertInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        throw std::runtime_error(
            QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text).toStdString());
    return value;
}
