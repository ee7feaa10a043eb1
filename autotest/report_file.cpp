#include "autotest/report_file.h"

#include "common/text_file.h"

bool SaveReport(const QString& path, const TestHeader& copies, const QString& startDate,
                const ResultTable& results, QString* error)
{
    const QStringList lines{QStringLiteral("Test-Report:"),
                            QStringLiteral("Reporter:;") + copies.ReporterText,
                            QStringLiteral("Unit:;") + copies.UnitText,
                            QStringLiteral("Serial #:;") + copies.SerialText,
                            QStringLiteral("Date:;") + startDate,
                            QString(),
                            ResultTable::Captions().join(QLatin1Char(';'))};
    const qsizetype header = lines.size();
    return WriteTextLines(
        path, header + results.RowCount() - 1,
        [&](qsizetype i) {
            return i < header
                       ? lines[i]
                       : results.Row(static_cast<int>(i - header) + 1).join(QLatin1Char(';'));
        },
        error);
}

FileCells ReportCells(const TestHeader& copies, const QString& startDate,
                      const ResultTable& results)
{
    FileCells cells;
    const std::pair<const char*, QString> header[] = {{"Reporter:", copies.ReporterText},
                                                      {"Unit:", copies.UnitText},
                                                      {"Serial #:", copies.SerialText},
                                                      {"Date:", startDate}};
    for (const auto& [caption, text] : header)
        cells.append({QStringLiteral("the field \"%1\"").arg(QLatin1String(caption)), text});
    // Named only where a check has something to say: a report of half a million rows is not
    // turned into three million names for nothing.
    for (int row = 1; row < results.RowCount(); ++row)
        for (int c = 0; c < ResultTable::kColumns; ++c)
            if (const QString text = results.Cell(c, row); !FitsLatin1(text))
                cells.append({QStringLiteral("report row %1, column \"%2\"")
                                  .arg(row)
                                  .arg(ResultTable::Captions()[c]),
                              text});
    return cells;
}

QString ReportValueText(QString value) { return value.replace(QLatin1Char(';'), QLatin1Char(',')); }

namespace {

constexpr int kFirstResultLine = 7; // counted from 0

// The text after the first ';' up to the next one or the end of the line.
QString HeaderValue(const QStringList& lines, int index)
{
    const QString line = lines.value(index);
    const qsizetype first = line.indexOf(QLatin1Char(';'));
    if (first < 0)
        return {};
    const qsizetype next = line.indexOf(QLatin1Char(';'), first + 1);
    return line.mid(first + 1, next < 0 ? -1 : next - first - 1);
}

// Step, comment, the two limits and the result end at the first five ';'; the mark keeps
// whatever follows, further ';' included.
QStringList ResultCells(const QString& line)
{
    QStringList cells;
    qsizetype start = 0;
    for (int c = 0; c < ResultTable::kColumns - 1; ++c) {
        const qsizetype sep = line.indexOf(QLatin1Char(';'), start);
        if (sep < 0)
            break;
        cells << line.mid(start, sep - start);
        start = sep + 1;
    }
    cells << line.mid(start);
    while (cells.size() < ResultTable::kColumns)
        cells << QString();
    return cells;
}

} // namespace

std::optional<ReportFileHeader> OpenReport(const QString& path, ResultTable& results,
                                           QString* error)
{
    const std::optional<QStringList> lines = ReadTextLines(path, error);
    if (!lines)
        return std::nullopt;
    ReportFileHeader values;
    values.Header = {HeaderValue(*lines, 1), HeaderValue(*lines, 2), HeaderValue(*lines, 3)};
    values.Date = HeaderValue(*lines, 4);
    const int resultLines = static_cast<int>(lines->size()) - kFirstResultLine;
    if (resultLines > 0) {
        // The count first, so that the table ends with the file's rows and each row written
        // afterwards is the one a viewer brings into view.
        results.SetRowCount(resultLines + 1);
        for (int r = 1; r <= resultLines; ++r)
            results.SetRow(r, ResultCells(lines->at(kFirstResultLine + r - 1)));
    }
    return values;
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
