#pragma once

#include "autotest/report_verdict.h"
#include "autotest/result_table.h"
#include "autotest/table_header.h"

#include <QFont>
#include <QList>
#include <QString>
#include <functional>

class QPagedPaintDevice;

// One printed line and the size it is printed at.
struct ReportPrintLine {
    QString Text;
    int PointSize = 10;

    bool operator==(const ReportPrintLine&) const = default;
};

// The printed report, line by line: an empty line, "Test-Report" at 14 points, an empty line,
// the header captions and values in columns of 20, an empty line, the column captions, then one
// line per result row 1 to RowCount() - 1 in columns of 5, 25 and 12, an empty line and the
// verdict. A result cell wider than its column is printed whole and shifts the rest of its line;
// a header value is cut to its column, so that it never runs into the next one.
QList<ReportPrintLine> ReportPrintLines(const TestHeader& copies, const QString& startDate,
                                        const ResultTable& results, const ReportVerdict& verdict);

// The fixed-pitch font reports are printed in, at 10 points: "Fixedsys" where it exists, else
// the system's fixed-pitch font. Needs a GUI application.
QFont ReportFont();

// Prints the lines top-down in the font's family and weight, each at its own size, starting a
// new page when the next line does not fit on this one. A line wider than the page goes on
// over as many lines as it needs, so nothing is cut off at the right edge. False when the
// device cannot be painted on (a printer that failed, a PDF file that cannot be written).
bool PrintReportLines(QPagedPaintDevice& device, const QList<ReportPrintLine>& lines,
                      const QFont& font);
// The same for lines made one at a time, line(0) ... line(count - 1).
bool PrintReportLines(QPagedPaintDevice& device, qsizetype count,
                      const std::function<ReportPrintLine(qsizetype)>& line, const QFont& font);

// Prints the report as ReportPrintLines has it, each result line made as it is printed: a
// burn-in's report of half a million rows is never held as lines beside its table.
bool PrintResultReport(QPagedPaintDevice& device, const TestHeader& copies,
                       const QString& startDate, const ResultTable& results,
                       const ReportVerdict& verdict, const QFont& font);

// The printed report as the test window prints it after a run (bold), into a PDF file, written
// beside its name first as the report files are: a failed print keeps the old PDF. Needs a GUI
// application (the offscreen platform serves).
bool WriteReportPdf(const QString& path, const TestHeader& copies, const QString& startDate,
                    const ResultTable& results, const ReportVerdict& verdict);
