#pragma once

#include "autotest/result_table.h"
#include "autotest/table_header.h"

#include <QString>

// The text export of a report, for programs that read quoted texts: "Test-Report:", the four
// header lines ("Reporter:";"<reporter>" ...), an empty line, the quoted captions, then one line
// per result row 1 to RowCount() - 1 with step and the three numbers unquoted and comment and
// mark quoted, fields joined by ';'. A '"' inside quotes is doubled, as CSV has it; step or
// number texts holding a '"', a ';' or a line break are quoted as well. Each line ends in CR LF;
// written atomically: a failed export keeps an earlier file.
bool ExportReportText(const QString& path, const TestHeader& copies, const QString& startDate,
                      const ResultTable& results, QString* error = nullptr);
