// The printed report: its line sequence, and its pages as Qt's PDF output makes them, read back
// with poppler's pdftotext.
#include "autotest/report_print.h"
#include "tests/support/pdf_text.h"
#include "tests/support/qt_print.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline void PrintTo(const ReportPrintLine& line, std::ostream* os)
{
    *os << line.PointSize << " pt \"" << line.Text.toStdString() << '"';
}

namespace {

const TestHeader kHeader{"Prüfer", "TAV 1000", "0505000120"};
ReportVerdict Verdict(ReportVerdict::Outcome ended, int rows, int failed)
{
    ReportVerdict v;
    v.Ended = ended;
    v.Rows = rows;
    v.Failed = failed;
    return v;
}

const ReportVerdict kVerdict = Verdict(ReportVerdict::Outcome::Failed, 2, 1);
const QString kCaptionLine =
    "Step Comment                   Lower Limit Test Result Upper Limit Mark       ";

ResultTable Rows(int count, const QString& comment = QString())
{
    ResultTable results;
    for (int r = 1; r <= count; ++r)
        results.SetRow(r, {QString::number(r).rightJustified(2),
                           comment.isEmpty() ? "row " + QString::number(r) : comment, "225",
                           QString::number(229 + r % 7) + ".8", "235", r % 5 ? "" : "Error!"});
    return results;
}

class ReportPrint : public ::testing::Test {
protected:
    // Prints onto A4 with 15 mm margins and gives pdftotext's lines.
    QStringList Print(const ResultTable& results, int* pages = nullptr, bool bold = false,
                      const ReportVerdict& verdict = kVerdict)
    {
        const QString path = dir.filePath("report.pdf");
        QFont font = ReportFont();
        font.setBold(bold);
        double pitch = 0; // the width of one character in points puts each into its column
        {
            QPdfWriter pdf(path);
            pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                          QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
            EXPECT_TRUE(PrintReportLines(
                pdf, ReportPrintLines(kHeader, "07.05.2024", results, verdict), font));
            pitch = QFontMetricsF(font, &pdf).horizontalAdvance(QLatin1Char('M')) * 72.0 /
                    pdf.resolution();
        }
        const QString text = PdfLayoutText(path, pitch);
        if (pages)
            *pages = static_cast<int>(text.count(QLatin1Char('\f')));
        fonts = PdfFonts(path);
        return PdfLines(text);
    }
    QTemporaryDir dir;
    QString fonts;
};

} // namespace

TEST_F(ReportPrint, LinesInColumnsOfTheirWidths)
{
    ResultTable results;
    results.SetRow(1, {" 5", "UAC 230", "225", "229.8", "235", "Error!"});
    results.SetRow(2, {"12", "a comment longer than its column", "1", "2", "3", ""});
    const QList<ReportPrintLine> expected{
        {""},
        {"Test-Report", 14},
        {""},
        {"Reporter:           Unit:               Serial #:           Date:"},
        {"Prüfer              TAV 1000            0505000120          07.05.2024"},
        {""},
        {kCaptionLine},
        {"   5 UAC 230                           225       229.8         235 Error!     "},
        {"  12 a comment longer than its column           1           2           3            "},
        {""},
        {"FAILED: 2 rows, 1 failed"},
    };
    EXPECT_EQ(ReportPrintLines(kHeader, "07.05.2024", results, kVerdict), expected);
    // A header text keeps to its column: the next one never runs into it.
    const QList<ReportPrintLine> cut =
        ReportPrintLines({"Final test, station 1", "TAV-1600-PS-HV-F1-MB2", "0505000120"},
                         "07.05.2024", results, kVerdict);
    EXPECT_EQ(cut[4].Text, QString::fromUtf8("Final test, statio… TAV-1600-PS-HV-F1-… "
                                             "0505000120          07.05.2024"));
}

// The closing line of every printout: how the run ended and its counts, when and where it ran
// and what the operator answered; a report read back says what its rows show.
TEST(ReportVerdictLine, SaysHowTheRunEndedOrWhatTheRowsShow)
{
    using O = ReportVerdict::Outcome;
    const QDateTime started(QDate(2026, 12, 8), QTime(9, 15, 2));
    ResultTable unanswered;
    unanswered.SetRow(1, {" 1", "U", "225", "229.8", "235", ""});
    unanswered.SetRow(2, {" 2", "I", "4.5", "no reply", "4.7", ""});
    ReportVerdict passed = Verdict(O::Passed, 10, 0);
    passed.Started = started;
    passed.DurationMs = 4250;
    passed.Station = "bench-3";
    passed.Operator = "anna";
    passed.Answers = {"VAR01=230", "VAR02=1.5"};
    ReportVerdict broken = Verdict(O::BrokenOff, 3, 0);
    broken.Why = "time-out: the run took longer than 5 s";
    broken.Started = started;
    broken.DurationMs = 65000;
    const struct {
        ReportVerdict verdict;
        QString line;
    } cases[] = {
        {passed, "PASSED: 10 rows, 0 failed; started 2026-12-08 09:15:02, took 00:04.2; station "
                 "bench-3, operator anna; answers VAR01=230 VAR02=1.5"},
        {broken, "BROKEN OFF (time-out: the run took longer than 5 s): 3 rows, 0 failed; started "
                 "2026-12-08 09:15:02, took 01:05.0"},
        {ReportVerdict::FromRows(unanswered, "the file"),
         "FAILED: 2 rows, 1 failed (as its rows show: read from the file)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReportVerdictLine(c.verdict), c.line);
}

TEST_F(ReportPrint, PdfHoldsTheLinesInOrder)
{
    ResultTable results;
    results.SetRow(1, {" 5", "UAC 230", "225", "229.8", "235", "Error!"});
    results.SetRow(2, {" 6", "µA", "1", "2", "3", ""});
    int pages = 0;
    const QStringList lines = Print(results, &pages);
    EXPECT_EQ(lines,
              QStringList({"Test-Report",
                           "Reporter:           Unit:               Serial #:           Date:",
                           "Prüfer              TAV 1000            0505000120          "
                           "07.05.2024",
                           kCaptionLine.trimmed(),
                           "   5 UAC 230                           225       229.8         235 "
                           "Error!",
                           "   6 µA                                  1           2           3",
                           "FAILED: 2 rows, 1 failed"}));
    EXPECT_EQ(pages, 1);
    EXPECT_FALSE(fonts.contains("Bold")) << fonts.toStdString();
}

// Every row of a long report arrives, in order, over the pages it needs; bold is kept.
TEST_F(ReportPrint, LongReportContinuesOnFurtherPages)
{
    int pages = 0;
    const QStringList lines = Print(Rows(300), &pages, true);
    EXPECT_GE(pages, 5);
    ASSERT_EQ(lines.size(), 4 + 300 + 1);
    EXPECT_EQ(lines.last(), "FAILED: 2 rows, 1 failed");
    for (int r = 1; r <= 300; ++r)
        ASSERT_TRUE(lines[3 + r].startsWith(QString::number(r).rightJustified(4) + " row " +
                                            QString::number(r) + " "))
            << lines[3 + r].toStdString();
    EXPECT_TRUE(fonts.contains("Bold")) << fonts.toStdString();
}

// A comment wider than the page goes on over further lines instead of off the edge.
TEST_F(ReportPrint, CommentWiderThanThePageIsPrintedWhole)
{
    QString comment;
    for (int i = 0; i < 40; ++i)
        comment += QStringLiteral("w%1-").arg(i, 2, 10, QLatin1Char('0'));
    const QStringList lines = Print(Rows(1, comment));
    ASSERT_GE(lines.size(), 6);
    const QString printed = lines.mid(4, lines.size() - 5).join(QString());
    EXPECT_TRUE(printed.contains(comment)) << printed.toStdString();
    EXPECT_TRUE(printed.endsWith("235")) << printed.toStdString();
}

// A closing line wider than the page goes on at a word's boundary: no word is cut in two.
TEST_F(ReportPrint, LongVerdictLineBreaksBetweenWords)
{
    ReportVerdict verdict = kVerdict;
    verdict.Started = QDateTime(QDate(2026, 12, 8), QTime(9, 15, 2));
    verdict.DurationMs = 4200;
    verdict.Station = QStringLiteral("burn-in-station-with-a-long-name");
    verdict.Operator = QStringLiteral("operator root");
    verdict.Answers = {"VAR01=230", "VAR02=115.5", "VAR03=50"};
    const QString line = ReportVerdictLine(verdict);
    const QStringList lines = Print(Rows(1), nullptr, false, verdict);
    const qsizetype first = lines.indexOf(QRegularExpression("FAILED: .*"));
    ASSERT_GE(first, 0);
    const QStringList pieces = lines.mid(first);
    ASSERT_GE(pieces.size(), 2) << "the line is wider than the page";
    EXPECT_EQ(pieces.join(' '), line) << pieces.join('|').toStdString();
}

TEST_F(ReportPrint, DeviceThatCannotBeWrittenFails)
{
    QPdfWriter pdf(dir.filePath("missing/report.pdf"));
    EXPECT_FALSE(PrintReportLines(pdf, ReportPrintLines(kHeader, "07.05.2024", Rows(3), kVerdict),
                                  ReportFont()));
}
