// The result files of a run: report, text export, printed report and JUnit XML.
#include "tools/runner.h"

#include "autotest/report_file.h"
#include "autotest/report_text.h"
#include "common/file_cells.h"
#include "common/text_file.h"
#include "tools/junit_report.h"

#include <QDir>
#include <QFileInfo>

// Every file asked for, also after a failed run: what was recorded so far.
void TestRunner::WriteResults()
{
    const TestHeader& copies = T.TestRun.Copies;
    QStringList errors;
    QString error;
    QString reportPath = m_options.ReportFile;
    if (!reportPath.isEmpty() && QFileInfo(reportPath).isDir())
        reportPath = QDir(reportPath).filePath(AutoSaveFileName(copies.UnitText, copies.SerialText));
    if (!reportPath.isEmpty() && !SaveReport(reportPath, copies, F.StartDate, m_results, &error))
        errors << FileErrorText(reportPath, error);
    const QString& textPath = m_options.TextFile;
    if (!textPath.isEmpty() &&
        !ExportReportText(textPath, copies, F.StartDate, m_results, &error))
        errors << FileErrorText(textPath, error);
    // A report is never dropped: it is written with '?' for what it cannot keep, and the run
    // fails saying so.
    const QString lost = Latin1Problem(ReportCells(copies, F.StartDate, m_results));
    for (const QString& path : {reportPath, textPath})
        if (!path.isEmpty() && !lost.isEmpty())
            errors << FileErrorText(path,
                                    lost + QStringLiteral(" Written with '?' in their place."));
    const QString& pdfPath = m_options.PdfFile;
    if (!pdfPath.isEmpty() &&
        !(m_pdfWriter && m_pdfWriter(pdfPath, copies, F.StartDate, m_results)))
        errors << FileErrorText(pdfPath, QStringLiteral("the report could not be printed"));
    const QString& junitPath = m_options.JUnitFile;
    if (!junitPath.isEmpty() && !WriteJUnitReport(junitPath, JUnitSummary(), ListedSteps(), &error))
        errors << FileErrorText(junitPath, error);
    if (!errors.isEmpty() && m_runError.isEmpty())
        m_runError = errors.join(QStringLiteral("; "));
    else if (!errors.isEmpty())
        for (const QString& e : errors)
            m_console.Error(e);
}

JUnitRun TestRunner::JUnitSummary() const
{
    return {QFileInfo(m_options.TestFile).completeBaseName(), T.TestRun.Copies,
            m_elapsed.elapsed() / 1000.0, m_runError, m_notes};
}

void WarnUnrecorded(const ResultsStore::Status& recorded, RunnerConsole& console)
{
    if (!recorded.JournalError.isEmpty())
        console.Warning(QStringLiteral("results journal: %1").arg(recorded.JournalError));
    if (!recorded.ServerError.isEmpty())
        console.Warning(QStringLiteral("results server: %1; %2 run(s) kept in the journal for "
                                       "the next try (tavtest sync)")
                            .arg(recorded.ServerError)
                            .arg(recorded.Unsent));
}
