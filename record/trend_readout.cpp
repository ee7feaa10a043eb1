#include "record/trend_readout.h"

#include "record/plot_store.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace {

const char* const kQuantities[3] = {"U", "I", "P"};
const char* const kUnits[3] = {"V", "A", "W"};

// Four significant digits and the unit; a dash alone for a value not read.
QString ValueText(float value, const char* unit)
{
    if (std::isnan(value))
        return QStringLiteral("\u2013");
    const double magnitude = std::fabs(value) < 1e-12 ? 0.0 : std::log10(std::fabs(value));
    const int decimals = std::clamp(3 - static_cast<int>(std::floor(magnitude)), 0, 6);
    return QString::number(value, 'f', decimals) + QLatin1Char(' ') + QLatin1String(unit);
}

} // namespace

QString TrendCurveName(int curve)
{
    return QStringLiteral("%1%2 [%3]")
        .arg(QLatin1String(kQuantities[curve % 3]))
        .arg(curve / 3 + 1)
        .arg(QLatin1String(kUnits[curve % 3]));
}

QString TrendQuantityTitle(int quantity)
{
    return QStringLiteral("%1 [%2]").arg(QLatin1String(kQuantities[quantity]),
                                         QLatin1String(kUnits[quantity]));
}

QString TrendReadout(const PlotStore& store, const QDateTime& start, double seconds,
                     const std::vector<int>& curves)
{
    if (store.Size() == 0)
        return {};
    const size_t at = store.Nearest(seconds);
    QString text = start.addMSecs(std::llround(store.SecondsAt(at) * 1000.0))
                       .toString(QStringLiteral("HH:mm:ss.zzz"));
    for (const int curve : curves)
        text += QStringLiteral("   %1%2 %3")
                    .arg(QLatin1String(kQuantities[curve % 3]))
                    .arg(curve / 3 + 1)
                    .arg(ValueText(store.Value(curve, at), kUnits[curve % 3]));
    return text;
}
