// The report buttons of the test window, offscreen: its dialogs, the header fields and copies an
// opened report sets, and the printed report in the window's font.
#include "tests/autotest/test_window_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/pdf_text.h"
#include "tests/support/qt_print.h"
#include "widgets/operator_messages.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

namespace {

// Where the printout's closing verdict begins.
qsizetype VerdictLine(const QStringList& lines)
{
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [](const QString& l) { return l.startsWith("FAILED: "); });
    return at == lines.end() ? -1 : at - lines.begin();
}

// Bytes of a report as another installation wrote it, in Latin-1.
QByteArray ReportBytes(const char* date)
{
    return QString::fromUtf8("Test-Report:\r\nReporter:;Prüfer\r\nUnit:;Prüfling µ\r\n"
                             "Serial #:;0042\r\nDate:;%1\r\n\r\n"
                             "Step;Comment;Lower Limit;Test Result;Upper Limit;Mark\r\n"
                             " 3;UAC 230;225.000;229.800;235.000;\r\n"
                             " 4;I µA;4.500;4.900;4.700;Error!\r\n")
        .arg(QString::fromLatin1(date))
        .toLatin1();
}

// Runs the action on the modal dialog of that type once it is shown (polled by a timer, since
// the dialog's own event loop is running meanwhile).
template <typename Dialog> void WhenShown(QObject* context, std::function<void(Dialog*)> action)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, action] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            action(dialog);
        }
    });
    poll->start(10);
}

// What an operator does who goes to the file's folder, types its name and presses the button.
void ChooseFile(QFileDialog* dialog, const QString& path)
{
    QDialog* base = dialog; // accept() is public there
    dialog->setDirectory(QFileInfo(path).path());
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!name) {
        ADD_FAILURE() << "no file name field";
        base->reject();
        return;
    }
    name->setText(QFileInfo(path).fileName());
    base->accept();
}

class TestWindowReport : public TestWindowTest {
protected:
    void SetUp() override
    {
        CreateWindows();
        Open();
    }
    // Prints through the window onto a PDF file; pdftotext's lines, and pdffonts' list.
    QStringList PrintedLines(const QString& pdf, QString* fonts)
    {
        QPrinter& printer = window->Printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        window->PrintReport(printer);
        *fonts = PdfFonts(pdf);
        return PdfLines(PdfLayoutText(pdf));
    }
};

} // namespace

// An opened report fills header fields, copies, the date field and the grid; saved again it is
// the same file with the program's start date; its printout is bold from then on.
TEST_F(TestWindowReport, OpenedReportFillsTheWindowAndSavesBackUnchanged)
{
    QString fonts;
    EXPECT_TRUE(PrintedLines(CwdFile("before.pdf"), &fonts).contains("Test-Report"));
    EXPECT_FALSE(fonts.isEmpty());
    EXPECT_FALSE(fonts.contains("Bold")) << "no run and no report yet";

    const QString path = CwdFile("old.rpt");
    ASSERT_TRUE(WriteFileBytes(path, ReportBytes("01.02.2003")));
    const QString startDate = state.Places.StartDate;
    window->OpenReportFile(CwdFile("missing.rpt"));
    EXPECT_EQ(Text("UnitEdit"), "TAV Power Source");
    window->OpenReportFile(path);
    EXPECT_EQ(Text("ReporterEdit"), "Prüfer");
    EXPECT_EQ(Text("UnitEdit"), "Prüfling µ");
    EXPECT_EQ(Text("SerialEdit"), "0042");
    EXPECT_EQ(Text("DateEdit"), "01.02.2003");
    EXPECT_EQ(state.Test.TestRun.Copies, (TestHeader{"Prüfer", "Prüfling µ", "0042"}));
    EXPECT_EQ(state.Places.StartDate, startDate);
    ASSERT_EQ(ResultGridRows(), 2);
    EXPECT_EQ(ResultGridRow(2), QStringList({" 4", "I µA", "4.500", "4.900", "4.700", "Error!"}));
    EXPECT_TRUE(window->ReportFontBold());

    // The copies, not the fields, go into the report.
    window->findChild<QLineEdit*>("UnitEdit")->setText("typed, not taken");
    const QString again = CwdFile("again.rpt");
    window->SaveReportFile(again);
    EXPECT_EQ(ReadFileBytes(again), ReportBytes(startDate.toLatin1().constData()));

    window->ExportTextFile(CwdFile("old.txt"));
    EXPECT_TRUE(
        ReadFileBytes(CwdFile("old.txt"))
            .contains(
                QString::fromUtf8(" 4;\"I µA\";4.500;4.900;4.700;\"Error!\"\r\n").toLatin1()));

    const QStringList printed = PrintedLines(CwdFile("after.pdf"), &fonts);
    EXPECT_TRUE(fonts.contains("Bold")) << fonts.toStdString();
    // The rows, then what they show, since no run of this window made them.
    const qsizetype verdict = VerdictLine(printed);
    ASSERT_GE(verdict, 2) << printed.join('\n').toStdString();
    EXPECT_TRUE(printed[verdict - 2].contains("UAC 230")) << printed.join('\n').toStdString();
    EXPECT_TRUE(printed[verdict - 1].contains("I µA")) << printed.join('\n').toStdString();
    EXPECT_EQ(printed.mid(verdict).join(' '),
              "FAILED: 2 rows, 1 failed (as its rows show: read from the file)");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    // A report that cannot be written or printed: the operator is told which file.
    window->SaveReportFile(CwdFile("missing/x.rpt"));
    PrintedLines(CwdFile("missing/x.pdf"), &fonts);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains("x.rpt")) << messages[0].toStdString();
    EXPECT_TRUE(messages[1].contains("x.pdf")) << messages[1].toStdString();
}

// The grid follows the report as it grows and shrinks: a long report, a short one over it, and
// the long one again show exactly their own rows.
TEST_F(TestWindowReport, GridFollowsReportsOfEveryLength)
{
    QByteArray longReport = ReportBytes("01.02.2003");
    for (int k = 5; k <= 300; ++k)
        longReport += QByteArray::number(k) + ";row " + QByteArray::number(k) + ";1;2;3;\r\n";
    ASSERT_TRUE(WriteFileBytes(CwdFile("long.rpt"), longReport));
    ASSERT_TRUE(WriteFileBytes(CwdFile("short.rpt"), ReportBytes("01.02.2003")));
    for (const char* name : {"long.rpt", "short.rpt", "long.rpt"}) {
        window->OpenReportFile(CwdFile(name));
        const ResultTable& results = window->Results();
        ASSERT_EQ(ResultGridRows(), results.RowCount() - 1) << name;
        for (int r = 1; r < results.RowCount(); ++r)
            ASSERT_EQ(ResultGridRow(r), results.Row(r)) << name << " row " << r;
    }
    EXPECT_EQ(ResultGridRows(), 298);
    EXPECT_EQ(ResultGridRow(298), QStringList({"300", "row 300", "1", "2", "3", ""}));
}

// "Save Report" proposes the unit's name under the report filter and asks before it replaces a
// file; "Export Text" offers the text filter; "Open Report" reads what the dialog chose.
TEST_F(TestWindowReport, ReportDialogs)
{
    state.Test.TestRun.Copies = {"R", "PSU/1", "42"};
    const QString proposed = CwdFile("PSU_1-42.rpt");
    ASSERT_TRUE(WriteFileBytes(proposed, "old"));
    QStringList filters;
    QString selected;
    bool asked = false;
    WhenShown<QFileDialog>(window.get(), [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        selected = dialog->selectedFiles().value(0);
        WhenShown<QMessageBox>(window.get(), [&](QMessageBox* box) {
            asked = true;
            box->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog*>(dialog)->accept(); // as the Save button does
    });
    window->findChild<QPushButton*>("SaveReportButton")->click();
    EXPECT_EQ(filters, QStringList({"Report Files (*.rpt) (*.rpt)", "All Files (*.*) (*)"}));
    EXPECT_EQ(selected, proposed);
    EXPECT_TRUE(asked);
    EXPECT_TRUE(
        ReadFileBytes(proposed).startsWith("Test-Report:\r\nReporter:;R\r\nUnit:;PSU/1\r\n"));

    const QString text = CwdFile("export.txt");
    WhenShown<QFileDialog>(window.get(), [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        ChooseFile(dialog, text);
    });
    window->findChild<QPushButton*>("ExportTextButton")->click();
    EXPECT_EQ(filters.value(0), "Text Files (*.txt) (*.txt)");
    EXPECT_TRUE(ReadFileBytes(text).startsWith("\"Test-Report:\"\r\n\"Reporter:\";\"R\"\r\n"));

    const QString old = CwdFile("old.rpt");
    ASSERT_TRUE(WriteFileBytes(old, ReportBytes("01.02.2003")));
    WhenShown<QFileDialog>(window.get(), [&](QFileDialog* dialog) { ChooseFile(dialog, old); });
    window->findChild<QPushButton*>("OpenReportButton")->click();
    EXPECT_EQ(Text("SerialEdit"), "0042");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

// "Print Report" prints what the print dialog was left with, here its file choice.
TEST_F(TestWindowReport, PrintDialogPrintsToTheChosenFile)
{
    const QString pdf = CwdFile("dialog.pdf");
    window->Printer().setOutputFormat(QPrinter::PdfFormat);
    window->Printer().setOutputFileName(pdf);
    bool shown = false;
    WhenShown<QPrintDialog>(window.get(), [&](QPrintDialog* dialog) {
        shown = true;
        dialog->accept();
    });
    window->findChild<QPushButton*>("PrintReportButton")->click();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(PdfLines(PdfLayoutText(pdf)).contains("Test-Report"));
}

// A report holding characters outside Latin-1 is saved or exported with '?' for them only when
// the operator agrees; the question names where they are.
TEST_F(TestWindowReport, CharactersOutsideLatin1AreWrittenOnlyWhenTheOperatorAgrees)
{
    state.Test.TestRun.Copies = {"R", "PSU", "42"};
    state.Test.TestRun.Copies.UnitText = "Unit \u03a9";
    QStringList questions;
    bool agree = false;
    SetOperatorQuestionHook([&](const QString& text) {
        questions << text;
        return agree;
    });
    const std::pair<const char*, void (TForm6::*)(const QString&)> outputs[] = {
        {"u.rpt", &TForm6::SaveReportFile}, {"u.txt", &TForm6::ExportTextFile}};
    for (const auto& [name, write] : outputs) {
        const QString path = CwdFile(name);
        ASSERT_TRUE(WriteFileBytes(path, "earlier"));
        agree = false;
        (window.get()->*write)(path);
        EXPECT_EQ(ReadFileBytes(path), "earlier") << name;
        agree = true;
        (window.get()->*write)(path);
        EXPECT_TRUE(ReadFileBytes(path).contains("Unit ?")) << name;
    }
    SetOperatorQuestionHook(nullptr);
    ASSERT_EQ(questions.size(), 4);
    EXPECT_TRUE(questions[0].startsWith("The field \"Unit:\" holds characters"));
    EXPECT_TRUE(messages.isEmpty());
}
