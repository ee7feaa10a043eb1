#include "autotest/report_text.h"

#include "common/text_file.h"

namespace {

// A '"' inside quotes is doubled: a CSV reader would take a single one for the field's end.
QString Quoted(QString text)
{
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

// Step and numbers stand unquoted; one that a reader would misread there (a reply recorded
// whole, holding a '"', a ';' or a line break) is quoted like a text.
QString Unquoted(const QString& text)
{
    for (const QChar c : text)
        if (c == QLatin1Char('"') || c == QLatin1Char(';') || c == QLatin1Char('\r') ||
            c == QLatin1Char('\n'))
            return Quoted(text);
    return text;
}

QString HeaderLine(const char* caption, const QString& value)
{
    return Quoted(QString::fromLatin1(caption)) + QLatin1Char(';') + Quoted(value);
}

} // namespace

bool ExportReportText(const QString& path, const TestHeader& copies, const QString& startDate,
                      const ResultTable& results, QString* error)
{
    QStringList captions;
    for (const QString& caption : ResultTable::Captions())
        captions << Quoted(caption);
    const QStringList header{
        Quoted(QStringLiteral("Test-Report:")), HeaderLine("Reporter:", copies.ReporterText),
        HeaderLine("Unit:", copies.UnitText),   HeaderLine("Serial #:", copies.SerialText),
        HeaderLine("Date:", startDate),         QString(),
        captions.join(QLatin1Char(';')),
    };
    const auto line = [&](qsizetype i) {
        if (i < header.size())
            return header[i];
        QStringList cells = results.Row(static_cast<int>(i - header.size()) + 1);
        for (int c = 0; c < ResultTable::kColumns; ++c)
            cells[c] = c == ResultTable::kComment || c == ResultTable::kMark ? Quoted(cells[c])
                                                                             : Unquoted(cells[c]);
        return cells.join(QLatin1Char(';'));
    };
    return WriteTextLines(path, header.size() + results.RowCount() - 1, line, error);
}
