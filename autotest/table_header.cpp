#include "autotest/table_header.h"

#include "common/number_reading.h"
#include "common/text_pad.h"

QString AdvanceSerialNumber(const QString& serial)
{
    // 64 bits, so the largest 32-bit serial still advances instead of overflowing.
    const qint64 next = static_cast<qint64>(ReadInteger(serial)) + 1;
    return PadZeros(QString::number(next), static_cast<int>(serial.size()));
}
