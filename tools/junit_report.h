#pragma once

#include "autotest/result_table.h"
#include "autotest/test_header.h"

#include <QByteArray>
#include <QString>

// A finished (or broken-off) run as CI servers read it: JUnit XML.
struct JUnitRun {
    QString SuiteName;   // the test file's base name
    TestHeader Copies;   // reporter, unit and serial number of the report
    double Seconds = 0;  // how long the run took
    QString RunError;    // why the run itself failed; empty when it ran to its end
};

// One <testsuite> with one <testcase> per result row, named by step and comment, a <failure>
// when the row is marked "Error!" (value and limits in its message), and, for a run that
// failed itself, one more test case "run" holding an <error>.
QByteArray JUnitReportXml(const JUnitRun& run, const ResultTable& results);

// Writes it atomically; false with the reason when the file cannot be written.
bool WriteJUnitReport(const QString& path, const JUnitRun& run, const ResultTable& results,
                      QString* error = nullptr);
