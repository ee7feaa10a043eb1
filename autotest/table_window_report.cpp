// The test window's report buttons: save, open, print and text export of the result grid.
#include "autotest/table_window.h"

#include "autotest/keyword_table.h"
#include "autotest/report_file.h"
#include "autotest/report_print.h"
#include "autotest/report_text.h"
#include "autotest/table_file.h"
#include "common/text_file.h"
#include "export/export_options_window.h"
#include "export/spreadsheet_export.h"
#include "results/results_database.h"
#include "widgets/file_dialogs.h"
#include "widgets/operator_messages.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

namespace {

const char* const kReportFilter = "Report Files (*.rpt)|*.rpt|All Files (*.*)|*.*";
const char* const kTextFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";

using ReportWriter = bool (*)(const QString& path, const TestHeader& copies,
                              const QString& startDate, const ResultTable& results, QString* error);

// Writes the report file or text export; the operator hears of a failure, the earlier file stays.
void WriteReport(QWidget* window, ReportWriter write, const QString& path, const TestHeader& copies,
                 const QString& startDate, const ResultTable& results)
{
    // A report is saved whatever its cells hold; only characters it would lose are asked about.
    if (!ConfirmFileSave(window, ReportCells(copies, startDate, results), false))
        return;
    QString error;
    if (!write(path, copies, startDate, results, &error))
        ShowOperatorError(window, FileErrorText(path, error));
}

} // namespace

QPrinter& TForm6::Printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

// The report is saved with the header copies as the last run or file left them, under the
// name the automatic save would give it, so it shows under the dialog's report filter.
void TForm6::SaveReportClick()
{
    const TestHeader& copies = T.TestRun.Copies;
    const QString path = AskSaveFileName(this, QString::fromLatin1(kReportFilter),
                                         AutoSaveFileName(copies.UnitText, copies.SerialText));
    if (!path.isEmpty())
        SaveReportFile(path);
}

void TForm6::SaveReportFile(const QString& path)
{
    WriteReport(this, &SaveReport, path, T.TestRun.Copies, F.StartDate, m_results);
}

void TForm6::OpenReportClick()
{
    const QString path = AskOpenFileName(this, QString::fromLatin1(kReportFilter));
    if (!path.isEmpty())
        OpenReportFile(path);
}

void TForm6::OpenReportFile(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    QString error;
    const std::optional<ReportFileHeader> read = OpenReport(path, m_results, &error);
    if (!read) {
        ShowOperatorError(this, FileErrorText(path, error));
        return;
    }
    ShowReportHeader(*read);
    m_runStatus.ReportRead(QStringLiteral("the file"));
}

void TForm6::ShowRecordedRun(const ReportFileHeader& header, const QList<QStringList>& rows)
{
    // The count first, as for a report file: the table ends with the run's rows.
    m_results.SetRowCount(static_cast<int>(rows.size()) + 1);
    for (int r = 1; r <= rows.size(); ++r)
        m_results.SetRow(r, rows[r - 1]);
    ShowReportHeader(header);
    m_runStatus.ReportRead(QStringLiteral("the results journal"));
}

void TForm6::ShowReportHeader(const ReportFileHeader& header)
{
    SetHeaderFields(header.Header);
    T.TestRun.Copies = header.Header;
    // The report keeps the program's start date; the field shows the file's.
    m_date->setText(header.Date);
    m_reportFont.setBold(true);
}

void TForm6::PrintReportClick()
{
    QPrintDialog dialog(&Printer(), this);
    if (dialog.exec() == QDialog::Accepted)
        PrintReport(Printer());
}

void TForm6::PrintReport(QPagedPaintDevice& device)
{
    ReportVerdict verdict =
        m_runStatus.Verdict(T.TestRun, m_timer1->isActive(), Run().Cell(kTestCommand), m_results);
    if (verdict.ReadFrom.isEmpty()) {
        verdict.Station = ResultsDatabase::Station();
        verdict.Operator = ResultsDatabase::OperatorName();
    }
    const auto print = [&](QPagedPaintDevice& on) {
        return PrintResultReport(on, T.TestRun.Copies, F.StartDate, m_results, verdict,
                                 m_reportFont);
    };
    auto* printer = dynamic_cast<QPrinter*>(&device);
    const QString file = printer ? printer->outputFileName() : QString();
    bool printed = false;
    if (file.isEmpty()) {
        printed = print(device);
    } else {
        // Into a file (PDF) as a report is saved: one that fails part-way leaves the earlier
        // file whole.
        printed = WriteThroughTemporary(file, [&](const QString& temporary) {
            printer->setOutputFileName(temporary);
            const bool done = print(*printer);
            printer->setOutputFileName(file);
            return done;
        });
    }
    if (printed)
        return;
    // Where it went wrong, as far as the device tells: the PDF file or the printer's name.
    QString where;
    if (printer)
        where = file.isEmpty() ? printer->printerName() : QDir::toNativeSeparators(file);
    ShowOperatorError(this,
                      QStringLiteral("The report could not be printed") +
                          (where.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + where));
}

void TForm6::ExportTextClick()
{
    const QString path = AskSaveFileName(this, QString::fromLatin1(kTextFilter));
    if (!path.isEmpty())
        ExportTextFile(path);
}

void TForm6::ExportTextFile(const QString& path)
{
    WriteReport(this, &ExportReportText, path, T.TestRun.Copies, F.StartDate, m_results);
}

void TForm6::Button13Click()
{
    for (const QString& message : SendReportToSpreadsheet(E, F, T.TestRun.Copies, m_results))
        ShowOperatorError(this, message);
}

void TForm6::ExcelOptionsClick() { OpenExportOptions(E, F, this); }
