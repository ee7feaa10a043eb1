#include "run/input_rules.h"

#include "link/tcp_link.h"

#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <cmath>

const char* const kNotAPort = "not a port (COM1 to COM99)";
const char* const kNotAnAssignment = "expected VARnn=VALUE (nn 01-10)";
const char* const kNotANumber = "not a number";
const char* const kNotATimeout = "not a number of seconds (0 or more)";

namespace {

// The number a name of the pattern's shape holds (any case), when it is valid.
std::optional<int> NumberIn(const QString& text, const QString& pattern, bool (*valid)(int))
{
    const QRegularExpressionMatch match =
        QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption)
            .match(text.trimmed());
    if (!match.hasMatch() || !valid(match.captured(1).toInt()))
        return std::nullopt;
    return match.captured(1).toInt();
}

} // namespace

bool ValidPort(int number)
{
    return (number >= 1 && number <= 99) || !DirectTcpUri(number).empty();
}

std::optional<int> ReadPort(const QString& text)
{
    // A URI named outright gets a port number of its own, so it travels like any COM port.
    if (const std::optional<TcpTarget> target = ParseTcpUri(text.trimmed().toStdString()))
        return DirectTcpPort(target->Uri());
    return NumberIn(text, QStringLiteral("^(?:COM)?([0-9]{1,2})$"), ValidPort);
}

bool ValidVariable(int number) { return number >= 1 && number <= 10; }

std::optional<int> ReadVariable(const QString& text)
{
    return NumberIn(text, QStringLiteral("^VAR([0-9]{1,2})$"), ValidVariable);
}

std::optional<std::pair<int, QString>> ReadAssignment(const QString& text)
{
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return std::nullopt;
    const std::optional<int> variable = ReadVariable(text.left(equals));
    if (!variable)
        return std::nullopt;
    return std::make_pair(*variable, text.mid(equals + 1));
}

std::optional<double> ReadVariableValue(const QString& text)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

std::optional<int> TimeoutMilliseconds(double seconds)
{
    if (!(seconds >= 0) || seconds * 1000 > INT_MAX)
        return std::nullopt;
    // A time-out under a millisecond is one, not none.
    return std::max(static_cast<int>(std::lround(seconds * 1000)), seconds > 0 ? 1 : 0);
}

std::optional<int> ReadTimeout(const QString& text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    return ok ? TimeoutMilliseconds(seconds) : std::nullopt;
}

QString SecondsText(int milliseconds) { return QString::number(milliseconds / 1000.0, 'g', 10); }
