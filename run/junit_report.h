#pragma once

#include "autotest/result_table.h"
#include "autotest/table_header.h"
#include "autotest/tested_with.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A finished (or broken-off) run as CI servers read it: JUnit XML.
struct JUnitRun {
    QString SuiteName;  // the test file's base name
    TestHeader Copies;  // reporter, unit and serial number of the report
    double Seconds = 0; // how long the run took
    QString RunError;   // why the run itself failed; empty when it ran to its end
    QStringList Notes;  // what the run did besides its rows (the output switched off)
    // The test cases' class: "table.serial", a rack's slot "table.COM3.serial"; made from the
    // others when empty.
    QString ClassName;
    // What the unit was tested with: further properties ("instrument.serial", "limits.version").
    TestedWith Tested;
};

// One <testsuite> with one <testcase> per listed step (rows 1 on of steps: step, comment, lower
// limit, value, upper limit, mark, as a result row has them), named by step and comment, a
// <failure> when the step is marked "Error!" (value and limits in its message), and, for a run
// that failed itself, one more test case "run" holding an <error>.
QByteArray JUnitReportXml(const JUnitRun& run, const ResultTable& steps);
// Several runs at once (a rack): one <testsuite> each, in one <testsuites>.
struct JUnitSuite {
    JUnitRun Run;
    const ResultTable* Steps = nullptr;
};
QByteArray JUnitSuitesXml(const QList<JUnitSuite>& suites);

// Writes it atomically; false with the reason when the file cannot be written.
bool WriteJUnitReport(const QString& path, const JUnitRun& run, const ResultTable& steps,
                      QString* error = nullptr);
