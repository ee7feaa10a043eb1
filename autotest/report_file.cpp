#include "autotest/report_file.h"

#include "common/text_file.h"

bool SaveReport(const QString& path, const TestHeader& copies, const QString& startDate,
                const ResultTable& results, QString* error)
{
    QStringList lines{QStringLiteral("Test-Report:"),
                      QStringLiteral("Reporter:;") + copies.ReporterText,
                      QStringLiteral("Unit:;") + copies.UnitText,
                      QStringLiteral("Serial #:;") + copies.SerialText,
                      QStringLiteral("Date:;") + startDate,
                      QString(),
                      ResultTable::Captions().join(QLatin1Char(';'))};
    for (int row = 1; row < results.RowCount(); ++row)
        lines.append(results.Row(row).join(QLatin1Char(';')));
    return WriteTextLines(path, lines, error);
}

QString AutoSaveFileName(const QString& unitText, const QString& serialText)
{
    QString name = unitText + QLatin1Char('-') + serialText;
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c))
            c = QLatin1Char('_');
    }
    return name + QStringLiteral(".rpt");
}
