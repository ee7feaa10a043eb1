#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Texts in failure messages as text, not as lists of 2-byte objects.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}
