#pragma once

#include "autotest/result_table.h"
#include "autotest/table_header.h"

#include <QString>

// The report files of a run, written alike by tavtest and by a script's Run.

// Where a report asked for in a folder goes: the automatic name "<Unit>-<Serial #>.rpt", and
// never over an earlier report (a retest gets "-2", "-3", ...).
QString FreeReportPath(const QString& folder, const TestHeader& copies);
// The same name with another ending (".txt", ".pdf"): a folder given for those keeps them too.
QString FreeResultPath(const QString& folder, const TestHeader& copies, const QString& suffix);

enum class ReportFormat { Report, Text };

struct ReportWrite {
    bool Written = false;
    QString Error; // names the file; empty when all of it was kept
};

// The report (.rpt) or its text export (.txt). A report is never dropped for characters its
// 8-bit file cannot keep: it is written with '?' in their place, and the error says where they
// were.
ReportWrite WriteReportFile(ReportFormat format, const QString& path, const TestHeader& copies,
                            const QString& startDate, const ResultTable& results);
