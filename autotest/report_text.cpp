#include "autotest/report_text.h"

#include "common/text_file.h"

namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

QString HeaderLine(const char* caption, const QString& value)
{
    return Quoted(QString::fromLatin1(caption)) + QLatin1Char(';') + Quoted(value);
}

} // namespace

QStringList ReportTextLines(const TestHeader& copies, const QString& startDate,
                            const ResultTable& results)
{
    QStringList captions;
    for (const QString& caption : ResultTable::Captions())
        captions << Quoted(caption);
    QStringList lines{
        Quoted(QStringLiteral("Test-Report:")),
        HeaderLine("Reporter:", copies.ReporterText),
        HeaderLine("Unit:", copies.UnitText),
        HeaderLine("Serial #:", copies.SerialText),
        HeaderLine("Date:", startDate),
        QString(),
        captions.join(QLatin1Char(';')),
    };
    for (int row = 1; row < results.RowCount(); ++row) {
        QStringList cells = results.Row(row);
        cells[ResultTable::kComment] = Quoted(cells[ResultTable::kComment]);
        cells[ResultTable::kMark] = Quoted(cells[ResultTable::kMark]);
        lines << cells.join(QLatin1Char(';'));
    }
    return lines;
}

bool ExportReportText(const QString& path, const TestHeader& copies, const QString& startDate,
                      const ResultTable& results, QString* error)
{
    return WriteTextLines(path, ReportTextLines(copies, startDate, results), error);
}
