// The result files of a run: report, text export, printed report and JUnit XML.
#include "run/runner.h"

#include "common/text_file.h"
#include "results/results_database.h"
#include "run/junit_report.h"
#include "run/report_files.h"

#include <QFileInfo>

// Every file asked for, also after a failed run: what was recorded so far.
void TestRunner::WriteResults()
{
    const TestHeader& copies = m_test.TestRun.Copies;
    QStringList errors;
    QString error;
    const auto write = [&](ReportFormat format, const QString& path, bool tell) {
        const ReportWrite written =
            WriteReportFile(format, path, copies, m_places.StartDate, m_results);
        if (!written.Error.isEmpty())
            errors << written.Error;
        if (written.Written && tell)
            ReportSaved(path);
    };
    // A folder given keeps every report in it, as Auto Save does; the name taken is told.
    if (const QString& report = m_options.ReportFile; !report.isEmpty()) {
        const bool folder = QFileInfo(report).isDir();
        write(ReportFormat::Report, folder ? FreeReportPath(report, copies) : report, folder);
    }
    if (const QString& text = m_options.TextFile; !text.isEmpty()) {
        const bool folder = QFileInfo(text).isDir();
        write(ReportFormat::Text, folder ? FreeResultPath(text, copies, ".txt") : text, folder);
    }
    // Auto Save keeps a run that did not reach its end row (where it saves) all the same.
    if (m_options.AutoSave && !m_outcome.ReachedEnd)
        write(ReportFormat::Report, FreeReportPath(ReportFolder(), copies), true);
    QString pdfPath = m_options.PdfFile;
    const bool pdfFolder = !pdfPath.isEmpty() && QFileInfo(pdfPath).isDir();
    if (pdfFolder)
        pdfPath = FreeResultPath(pdfPath, copies, QStringLiteral(".pdf"));
    if (!pdfPath.isEmpty() &&
        !(m_pdfWriter && m_pdfWriter(pdfPath, copies, m_places.StartDate, m_results, Verdict())))
        errors << FileErrorText(pdfPath, QStringLiteral("the report could not be printed"));
    else if (pdfFolder)
        ReportSaved(pdfPath);
    const QString& junitPath = m_options.JUnitFile;
    if (!junitPath.isEmpty() && !WriteJUnitReport(junitPath, JUnitSummary(), ListedSteps(), &error))
        errors << FileErrorText(junitPath, error);
    // The unit's verdict stands; a result file that could not be kept fails the run's exit
    // status, and is told on its own.
    m_outcome.FileErrors = errors;
    for (const QString& e : errors)
        m_console.Error(e);
}

ReportVerdict TestRunner::Verdict() const
{
    ReportVerdict v;
    v.Ended = !m_outcome.RunError.isEmpty() ? ReportVerdict::Outcome::BrokenOff
              : m_failedRows > 0            ? ReportVerdict::Outcome::Failed
                                            : ReportVerdict::Outcome::Passed;
    v.Why = m_outcome.RunError;
    v.Rows = m_shownRows;
    v.Failed = m_failedRows;
    v.Started = m_startedAt;
    v.DurationMs = ElapsedMs();
    v.Station = StationOf(m_options);
    v.Operator = ResultsDatabase::OperatorName();
    v.Answers = m_answers;
    v.Tested = m_tested;
    return v;
}

JUnitRun TestRunner::JUnitSummary() const
{
    return {QFileInfo(m_options.TestFile).completeBaseName(),
            m_test.TestRun.Copies,
            ElapsedMs() / 1000.0,
            m_outcome.RunError,
            m_notes,
            QString(),
            m_tested};
}

UnrecordedTexts Unrecorded(const ResultsStore::Status& recorded)
{
    UnrecordedTexts texts;
    if (!recorded.NotRecorded.isEmpty())
        texts.NotRecorded =
            QStringLiteral("run not recorded in the journal: %1").arg(recorded.NotRecordedReason);
    texts.NotRecordedRuns = recorded.NotRecorded;
    if (!recorded.JournalError.isEmpty())
        texts.Journal = QStringLiteral("results journal: %1").arg(recorded.JournalError);
    if (!recorded.ServerError.isEmpty())
        texts.Server = QStringLiteral("results server %1; %2 run%3 kept in the journal: "
                                      "tavtest sync sends them")
                           .arg(recorded.ServerError)
                           .arg(recorded.Unsent)
                           .arg(recorded.Unsent == 1 ? "" : "s");
    return texts;
}

// Shown also when quiet: a line that loops on --quiet must not pile up unsent runs unseen.
void WarnUnrecorded(const ResultsStore::Status& recorded, RunnerConsole& console)
{
    const UnrecordedTexts texts = Unrecorded(recorded);
    if (!texts.NotRecorded.isEmpty())
        console.Error(texts.NotRecorded);
    for (const QString& text : {texts.Journal, texts.Server})
        if (!text.isEmpty())
            console.Alert(text);
}
