#include "autotest/report_print.h"

#include "common/text_file.h"
#include "common/text_pad.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace {

constexpr int kTitlePoints = 14;
constexpr int kHeaderWidth = 20;
constexpr int kStepWidth = 5;
constexpr int kCommentWidth = 25;
constexpr int kNumberWidth = 12;

QString ResultLine(const QString& step, const QString& comment, const QString& lower,
                   const QString& result, const QString& upper, const QString& mark,
                   bool stepBefore)
{
    const QChar blank = QLatin1Char(' ');
    return PadText(step + blank, kStepWidth, stepBefore) + PadText(comment, kCommentWidth, false) +
           PadText(lower, kNumberWidth, true) + PadText(result, kNumberWidth, true) +
           PadText(upper, kNumberWidth, true) + PadText(blank + mark, kNumberWidth, false);
}

// A header value in its column of kHeaderWidth, with at least one blank before the next: a
// longer one ends in an ellipsis.
QString HeaderCell(const QString& text)
{
    if (text.size() < kHeaderWidth)
        return PadText(text, kHeaderWidth, false);
    return text.left(kHeaderWidth - 2) + QChar(0x2026) + QLatin1Char(' ');
}

// Trailing blanks print nothing; without them a padded line never spills over for nothing.
QString WithoutTrailingBlanks(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.left(end);
}

// The pieces of the line, each as long as fits into the width (at least one character).
QStringList FitToWidth(const QString& text, const QFontMetricsF& metrics, qreal width)
{
    QStringList pieces;
    QString rest = WithoutTrailingBlanks(text);
    while (rest.size() > 1 && metrics.horizontalAdvance(rest) > width) {
        qsizetype n = 1;
        while (n < rest.size() && metrics.horizontalAdvance(rest.left(n + 1)) <= width)
            ++n;
        // At a word's boundary where the piece has one, so that no word is cut in two ("operator
        // r" / "oot"); a word longer than the line is cut where the line ends.
        const qsizetype space = rest.left(n + 1).lastIndexOf(QLatin1Char(' '));
        const qsizetype cut = space > 0 ? space : n;
        pieces << WithoutTrailingBlanks(rest.left(cut));
        rest = rest.mid(space > 0 ? cut + 1 : cut);
    }
    pieces << rest;
    return pieces;
}

} // namespace

namespace {

// The head of the printout: title, header fields and the column captions.
// What the unit was tested with follows the header fields, one line each.
QList<ReportPrintLine> HeadLines(const TestHeader& copies, const QString& startDate,
                                 const TestedWith& tested)
{
    const QStringList& c = ResultTable::Captions();
    QList<ReportPrintLine> lines{
        {QString()},
        {QStringLiteral("Test-Report"), kTitlePoints},
        {QString()},
        {QStringLiteral("Reporter:           Unit:               Serial #:           Date:")},
        {HeaderCell(copies.ReporterText) + HeaderCell(copies.UnitText) +
         HeaderCell(copies.SerialText) + startDate}};
    if (!tested.IsEmpty())
        lines << ReportPrintLine{};
    for (const auto& [name, value] : tested.Properties())
        if (!name.contains(QLatin1Char('.')) && name != QLatin1String("limits"))
            lines << ReportPrintLine{
                HeaderCell(name.left(1).toUpper() + name.mid(1) + QLatin1Char(':')) + value};
    if (!tested.Limits.isEmpty())
        lines << ReportPrintLine{
            HeaderCell(QStringLiteral("Limits applied:")) +
            QStringLiteral("%1 (%2), model %3")
                .arg(tested.Limits, tested.LimitsVersion.left(12), tested.Model)};
    lines << ReportPrintLine{}
          << ReportPrintLine{ResultLine(c[0], c[1], c[2], c[3], c[4], c[5], false)};
    return lines;
}

ReportPrintLine RowLine(const ResultTable& results, int row)
{
    const QStringList r = results.Row(row);
    return {ResultLine(r[0], r[1], r[2], r[3], r[4], r[5], true)};
}

} // namespace

QList<ReportPrintLine> ReportPrintLines(const TestHeader& copies, const QString& startDate,
                                        const ResultTable& results, const ReportVerdict& verdict)
{
    QList<ReportPrintLine> lines = HeadLines(copies, startDate, verdict.Tested);
    for (int row = 1; row < results.RowCount(); ++row)
        lines.append(RowLine(results, row));
    lines << ReportPrintLine{} << ReportPrintLine{ReportVerdictLine(verdict)};
    return lines;
}

bool PrintResultReport(QPagedPaintDevice& device, const TestHeader& copies,
                       const QString& startDate, const ResultTable& results,
                       const ReportVerdict& verdict, const QFont& font)
{
    const QList<ReportPrintLine> head = HeadLines(copies, startDate, verdict.Tested);
    const qsizetype rows = results.RowCount() - 1;
    const ReportPrintLine tail[] = {{}, {ReportVerdictLine(verdict)}};
    return PrintReportLines(
        device, head.size() + rows + 2,
        [&](qsizetype i) {
            if (i < head.size())
                return head[i];
            if (i < head.size() + rows)
                return RowLine(results, static_cast<int>(i - head.size()) + 1);
            return tail[i - head.size() - rows];
        },
        font);
}

QFont ReportFont()
{
    if (QFontDatabase::hasFamily(QStringLiteral("Fixedsys")))
        return QFont(QStringLiteral("Fixedsys"), 10);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    return font;
}

bool PrintReportLines(QPagedPaintDevice& device, const QList<ReportPrintLine>& lines,
                      const QFont& font)
{
    return PrintReportLines(
        device, lines.size(), [&lines](qsizetype i) { return lines[i]; }, font);
}

bool PrintReportLines(QPagedPaintDevice& device, qsizetype count,
                      const std::function<ReportPrintLine(qsizetype)>& line, const QFont& font)
{
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const qreal width = device.width();
    const qreal height = device.height();
    qreal y = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const ReportPrintLine printed = line(i);
        QFont lineFont = font;
        lineFont.setPointSize(printed.PointSize);
        painter.setFont(lineFont);
        const QFontMetricsF metrics(lineFont, &device);
        for (const QString& piece : FitToWidth(printed.Text, metrics, width)) {
            if (y > 0 && y + metrics.height() > height) {
                if (!device.newPage())
                    return false;
                y = 0;
            }
            painter.drawText(QPointF(0, y + metrics.ascent()), piece);
            y += metrics.lineSpacing();
        }
    }
    return painter.end();
}

bool WriteReportPdf(const QString& path, const TestHeader& copies, const QString& startDate,
                    const ResultTable& results, const ReportVerdict& verdict)
{
    QFont font = ReportFont();
    font.setBold(true);
    return WriteThroughTemporary(path, [&](const QString& temporary) {
        QPdfWriter writer(temporary);
        writer.setTitle(QStringLiteral("Test-Report"));
        return PrintResultReport(writer, copies, startDate, results, verdict, font);
    });
}
