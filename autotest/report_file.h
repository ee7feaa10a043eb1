#pragma once

#include "autotest/result_table.h"
#include "autotest/test_header.h"

#include <QString>

// ".rpt": "Test-Report:", "Reporter:;", "Unit:;", "Serial #:;" and "Date:;" with their texts,
// an empty line, the six captions joined by ';', then result rows 1 to RowCount() - 1, each of
// six cells joined by ';'. Lines end in CR LF; saved atomically, replacing a file of that name.
bool SaveReport(const QString& path, const TestHeader& copies, const QString& startDate,
                const ResultTable& results, QString* error = nullptr);

// The name the report is saved under at the end of a run: UnitText + "-" + SerialText + ".rpt".
// Operators type those texts, so every character that cannot stand in a file name here or on
// other systems ('/', '\\', ':', '*', '?', '"', '<', '>', '|' and control characters) becomes
// '_': the report always lands in the directory it is meant for.
QString AutoSaveFileName(const QString& unitText, const QString& serialText);
