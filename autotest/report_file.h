#pragma once

#include "autotest/result_table.h"
#include "autotest/table_header.h"
#include "common/file_cells.h"

#include <QString>
#include <optional>

// ".rpt": "Test-Report:", "Reporter:;", "Unit:;", "Serial #:;" and "Date:;" with their texts,
// an empty line, the six captions joined by ';', then result rows 1 to RowCount() - 1, each of
// six cells joined by ';'. Lines end in CR LF; saved atomically, replacing a file of that name.
bool SaveReport(const QString& path, const TestHeader& copies, const QString& startDate,
                const ResultTable& results, QString* error = nullptr);

// The texts of a report file, its text export or the printed report that the check for
// characters the 8-bit files cannot keep (Latin1Problem) looks at, each named for the operator:
// the header copies, the date, and the result cells holding such characters. (Separators are
// not checked in a report: a value has its ';' replaced when recorded, and the mark, last on its
// line, keeps any.)
FileCells ReportCells(const TestHeader& copies, const QString& startDate,
                      const ResultTable& results);

// A value as the report records it: each ';' becomes ',', since a ';' would split the value's
// field in the report file and move the upper limit and the mark when the file is read back
// (a reply "1.5;2.5" recorded whole).
QString ReportValueText(QString value);

// What the header lines of a report file give back.
struct ReportFileHeader {
    TestHeader Header; // reporter, unit and serial number
    QString Date;
};

// Reads a report file back. Lines 2 to 5 give reporter, unit, serial number and date: the text
// after the first ';' up to the next one (empty when the line has none or is missing). Every
// line from the eighth on becomes result row 1, 2, ...: split at its first five ';', the mark
// being the rest of the line; the table then ends after the last of them. A file without result
// lines leaves the table as it was. Nothing is validated. nullopt when the file cannot be read.
std::optional<ReportFileHeader> OpenReport(const QString& path, ResultTable& results,
                                           QString* error = nullptr);

// The name a report of this unit is saved under: UnitText + "-" + SerialText + ".rpt".
// Operators type those texts, so every character that cannot stand in a file name here or on
// other systems ('/', '\\', ':', '*', '?', '"', '<', '>', '|' and control characters) becomes
// '_': the report always lands in the directory it is meant for.
QString AutoSaveFileName(const QString& unitText, const QString& serialText);
