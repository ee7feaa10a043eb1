#include "run/report_files.h"

#include "autotest/report_file.h"
#include "autotest/report_text.h"
#include "common/file_cells.h"
#include "common/text_file.h"

#include <QDir>

QString FreeReportPath(const QString& folder, const TestHeader& copies)
{
    return FreeResultPath(folder, copies, QStringLiteral(".rpt"));
}

QString FreeResultPath(const QString& folder, const TestHeader& copies, const QString& suffix)
{
    QString name = AutoSaveFileName(copies.UnitText, copies.SerialText);
    name = name.left(name.size() - 4) + suffix; // in place of ".rpt"
    return UnusedFileName(QDir(folder).filePath(name));
}

ReportWrite WriteReportFile(ReportFormat format, const QString& path, const TestHeader& copies,
                            const QString& startDate, const ResultTable& results)
{
    ReportWrite w;
    QString error;
    w.Written = format == ReportFormat::Report
                    ? SaveReport(path, copies, startDate, results, &error)
                    : ExportReportText(path, copies, startDate, results, &error);
    if (!w.Written) {
        w.Error = FileErrorText(path, error);
        return w;
    }
    if (const QString lost = Latin1Problem(ReportCells(copies, startDate, results));
        !lost.isEmpty())
        w.Error = FileErrorText(path, lost + QStringLiteral(" Written with '?' in their place."));
    return w;
}
