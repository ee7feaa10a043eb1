#include "autotest/tested_with.h"

#include "replies/identification.h"

QList<std::pair<QString, QString>> TestedWith::Properties() const
{
    QList<std::pair<QString, QString>> p;
    if (!Identification.isEmpty()) {
        p.append({QStringLiteral("instrument"), Identification});
        if (Identification.contains(QLatin1Char(','))) {
            const IdentificationReading id = ReadIdentification(Identification);
            p.append({QStringLiteral("instrument.manufacturer"), id.Manufacturer});
            p.append({QStringLiteral("instrument.model"), id.Model});
            p.append({QStringLiteral("instrument.serial"), id.SerialNumber});
            p.append({QStringLiteral("instrument.firmware"), id.Revision});
        }
        if (!Options.isEmpty())
            p.append({QStringLiteral("instrument.options"), Options});
    }
    for (const QString& device : Devices)
        p.append({QStringLiteral("device"), device});
    if (!Limits.isEmpty()) {
        p.append({QStringLiteral("limits"), Limits});
        p.append({QStringLiteral("limits.version"), LimitsVersion});
        p.append({QStringLiteral("limits.model"), Model});
    }
    if (!Calibration.isEmpty())
        p.append({QStringLiteral("calibration"), Calibration});
    return p;
}
