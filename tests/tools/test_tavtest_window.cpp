// One test table run by the test window and by tavtest against the same simulated instrument:
// the instrument gets the same lines in the same order, and the report file and the printed
// report come out the same, a query that gets no reply included. The waits between the lines
// are the interpreter's, counted tick by tick in its own tests: measured here, they would be
// the machine's load as much as the program's.
#include "autotest/table_window.h"
#include "panel/program_start.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/build_paths.h"
#include "tests/support/pdf_text.h"
#include "tests/support/qt_print.h"
#include "tests/support/qt_wait.h"

#include <QApplication>
#include <QFile>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>

namespace {

// Where the printout's closing verdict begins.
qsizetype VerdictLine(const QStringList& lines)
{
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [](const QString& l) { return l.startsWith("FAILED: "); });
    return at == lines.end() ? -1 : at - lines.begin();
}

const char* const kTable =
    "Test-File:\r\nReporter:;Line 3\r\nUnit:;TAV 1600\r\nSerial #:;0505000777\r\n\r\n"
    " 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1\r\n"
    " 2;00.00.00.300;OUTP,1;0;0;0;;;;1\r\n"
    " 3;00.00.00.500;MEAS:VOLT?;0;0;0;225;235;UAC;1\r\n"
    " 4;00.00.00.200;MEAS:CURR?;0;0;0;4.5;4.7;I;1\r\n"
    " 5;00.00.00.000;GOTO;4;0;1;;;;1\r\n"
    " 6;00.00.00.400;SOUR:FREQ,60;0;0;0;;;;1\r\n"
    " 7;00.00.00.200;MEAS:FREQ?;0;0;0;59;61;never answered;1\r\n"
    " 8;00.00.00.100;OUTP,0;0;0;0;;;;1\r\n"
    " 9;00.00.00.000;END;0;0;0;;;;1\r\n";

QStringList Lines(const std::vector<TavsimProcess::LogLine>& log, size_t from, size_t to)
{
    QStringList lines;
    for (size_t i = from; i < to; ++i)
        lines.append(log[i].line);
    return lines;
}

QByteArray WithoutDate(QByteArray report)
{
    const qsizetype start = report.indexOf("Date:;");
    const qsizetype end = report.indexOf("\r\n", start);
    return start < 0 ? report : report.remove(start, end - start);
}

using WindowAndRunner = PanelFixture;

TEST_F(WindowAndRunner, SameLinesReportAndPrint)
{
    auto sim = StartSimAndWindows();
    QFile table(CwdFile("unit.tst"));
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write(kTable);
    table.close();

    // The desktop program: open the file, "Start", wait for the end, save and print.
    auto window =
        std::make_unique<TForm6>(state.Link, state.Places, state.Test, state.Export, form.get());
    window->show();
    window->OpenTest(table.fileName());
    window->Button3Click();
    ASSERT_TRUE(WaitUntil([&] { return !window->Timer1()->isActive(); }, 60000));
    PumpEvents(200); // a last reply still on its way
    window->SaveReportFile(CwdFile("window.rpt"));
    {
        QPdfWriter pdf(CwdFile("window.pdf"));
        window->PrintReport(pdf);
    }
    window->done(0);
    window.reset();
    // The desktop program ends: the instrument's port is free for the runner.
    form.reset();
    DetachPortHandlers(state.Link);
    state.Link.ComPort(1).SetActive(false);
    // Rows 1 to 8 with row 4 twice, END sends nothing.
    const size_t windowLines = 8;
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= windowLines; }));
    ASSERT_EQ(sim->Received().size(), windowLines);

    // tavtest, finding the same ports through its configuration folder.
    ASSERT_TRUE(QDir(CwdFile("cfg")).mkpath("tavcontrol"));
    ASSERT_TRUE(
        QFile::link(QString::fromStdString(sandbox.LinkDir()), CwdFile("cfg/tavcontrol/ports")));
    QProcess runner;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", CwdFile("cfg"));
    runner.setProcessEnvironment(env);
    runner.setWorkingDirectory(CwdFile(""));
    runner.start(QString::fromUtf8(kTavtestPath), {table.fileName(), "--report", "runner.rpt",
                                                   "--pdf", "runner.pdf", "--junit", "runner.xml"});
    runner.closeWriteChannel();
    ASSERT_TRUE(runner.waitForFinished(60000));
    EXPECT_EQ(runner.exitCode(), 1) << runner.readAllStandardError().toStdString();

    // The runner asks what it tests first; the window knows it from Connect.
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= 2 * windowLines + 2; }));
    const auto log = sim->Received();
    ASSERT_EQ(log.size(), 2 * windowLines + 2);
    EXPECT_EQ(Lines(log, windowLines, windowLines + 2), QStringList({"*idn?", "*opt?"}));
    EXPECT_EQ(Lines(log, windowLines + 2, log.size()), Lines(log, 0, windowLines));

    QFile windowReport(CwdFile("window.rpt"));
    QFile runnerReport(CwdFile("runner.rpt"));
    ASSERT_TRUE(windowReport.open(QIODevice::ReadOnly));
    ASSERT_TRUE(runnerReport.open(QIODevice::ReadOnly));
    const QByteArray windowBytes = windowReport.readAll();
    EXPECT_TRUE(windowBytes.contains(" 4;I;4.500;4.600;4.700;\r\n 4;I;"));
    EXPECT_TRUE(windowBytes.contains(" 7;never answered;59.000;no reply;61.000;Error!\r\n"))
        << windowBytes.toStdString();
    EXPECT_EQ(WithoutDate(runnerReport.readAll()), WithoutDate(windowBytes));

    // Each pass of the loop is a test case of its own.
    QFile junit(CwdFile("runner.xml"));
    ASSERT_TRUE(junit.open(QIODevice::ReadOnly));
    const QByteArray xml = junit.readAll();
    EXPECT_TRUE(xml.contains("name=\"step 4 I\"") && xml.contains("name=\"step 4 I (2)\""))
        << xml.toStdString();

    // The same printout, closed by the same verdict and counts; only the times differ.
    const auto printout = [&](const char* file) {
        const QStringList lines = PdfLines(PdfLayoutText(CwdFile(file)));
        const qsizetype verdict = VerdictLine(lines);
        return std::pair(lines.mid(0, verdict), lines.mid(verdict).join(' '));
    };
    const auto [windowRows, windowVerdict] = printout("window.pdf");
    const auto [runnerRows, runnerVerdict] = printout("runner.pdf");
    ASSERT_GT(windowRows.size(), 5);
    // The runner's header names the instrument it asked; the rest is the window's.
    QStringList runnerRest = runnerRows;
    const QRegularExpression instrument("^Instrument: +KELM Electronic GmbH,TAV-1600-PS,");
    EXPECT_EQ(runnerRest.removeIf([&](const QString& l) { return instrument.match(l).hasMatch(); }),
              1)
        << runnerRows.join('\n').toStdString();
    EXPECT_EQ(runnerRest, windowRows);
    const QRegularExpression closing(
        "^FAILED: 8 rows, 1 failed; started \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d, took "
        "00:\\d\\d\\.\\d; station .+, operator .+$");
    EXPECT_TRUE(closing.match(windowVerdict).hasMatch()) << windowVerdict.toStdString();
    EXPECT_TRUE(closing.match(runnerVerdict).hasMatch()) << runnerVerdict.toStdString();
    EXPECT_EQ(PdfFonts(CwdFile("runner.pdf")), PdfFonts(CwdFile("window.pdf")));
}

} // namespace
