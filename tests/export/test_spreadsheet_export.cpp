#include "autotest/result_table.h"
#include "export/calc_plugin_automation.h"
#include "export/cell_layout.h"
#include "export/curve_table.h"
#include "export/export_settings.h"
#include "export/spreadsheet_export.h"
#include "program/program_state.h"
#include "sequence/sequence_file.h"
#include "tests/export/recording_spreadsheet.h"
#include "tests/support/file_bytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SpreadsheetExportTest : public ::testing::Test {
protected:
    SpreadsheetExportTest()
    {
        S.Places.WritableDirectory = dir.path();
        S.Export.Spreadsheet = [this] {
            return std::make_unique<RecordingSpreadsheet>(calls, failAt);
        };
        InitStepGrid(sequence, SequenceTableKind());
        workbook = QDir(dir.path()).filePath(QStringLiteral("book.xls"));
        WriteFileBytes(workbook, "x");
    }
    void Settings(int row, int column, const QString& path)
    {
        S.Export.ExportRowText = QString::number(row);
        S.Export.ExportColumnText = QString::number(column);
        S.Export.WorkbookPath = path;
        ASSERT_TRUE(WriteExportSettings(S.Export, ExportSettingsPath(S.Places.WritableDirectory)));
        S.Export.ExportRowText.clear();
    }
    void Step(int row, const char* command, const char* value1, const char* frequency,
              const char* value2, const char* time)
    {
        sequence.SetCell(1, row, QString::fromLatin1(time));
        sequence.SetCell(2, row, QString::fromLatin1(command));
        sequence.SetCell(3, row, QString::fromLatin1(value1));
        sequence.SetCell(4, row, QString::fromLatin1(frequency));
        sequence.SetCell(5, row, QString::fromLatin1(value2));
    }
    // The cells written in rows from `first` on, as "row column text".
    QStringList CurveRows(int first) const
    {
        QStringList rows;
        for (const CellText& c : RecordingSpreadsheet::Cells(calls))
            if (c.row >= first && !c.text.isEmpty())
                rows << QStringLiteral("%1 %2 %3").arg(c.row).arg(c.column).arg(c.text);
        return rows;
    }

    QTemporaryDir dir;
    QString workbook;
    ProgramState S;
    MemoryStepGrid sequence{kSequenceColumns, kSequenceRows};
    CurveTable curve;
    QStringList calls;
    QString failAt;
};

TEST_F(SpreadsheetExportTest, SequenceStepBecomesTwoPointsAtTheFixedPlace)
{
    Settings(5, 9, workbook);
    Step(1, "UAC", "230", "50", "0", "00.00.05.000");
    Step(2, "END", "", "", "", "00.00.00.000");
    EXPECT_TRUE(SendSequenceToSpreadsheet(S.Export, S.Places, sequence, curve).isEmpty());

    ASSERT_GE(calls.size(), 4);
    EXPECT_EQ(calls.mid(0, 3),
              (QStringList{"create Excel.Application", "visible 1", "open " + workbook}));
    EXPECT_EQ(calls.last(), QStringLiteral("release"));
    const CellList cells = RecordingSpreadsheet::Cells(calls);
    EXPECT_EQ(cells.front(), (CellText{15, 15, "Test"}));
    EXPECT_EQ(cells[2], (CellText{21, 3, "Test-Report:"}));
    EXPECT_EQ(cells[6], (CellText{25, 3, "Date:"}));
    // Three rows of eight columns from C27, empty cells written too.
    EXPECT_EQ(cells.size(), 7u + 3 * 8);
    EXPECT_EQ(cells.back(), (CellText{29, 10, ""}));
    EXPECT_EQ(CurveRows(27),
              (QStringList{"27 3 Nr.", "27 4 Time hh.mm.ss.msmsms", "27 5 Voltage(V/rms)",
                           "27 6 Frequency(F/Hz)", "28 3  1", "28 4 00.00.00.000", "28 5 230",
                           "28 6 50", "29 3  1", "29 4 00.00.05.000", "29 5 230", "29 6 50"}));
}

TEST_F(SpreadsheetExportTest, RampsPhasesAndOtherStepsInTheCurveTable)
{
    Step(1, "RUAC", "0", "60", "230", "00.00.10.000");
    Step(2, "FREQ", "55", "", "", "00.00.01.000");
    Step(3, "UAC2", "115", "50", "", "00.00.02.000");
    Step(4, "END", "", "", "", "");
    curve.Build(sequence);
    ASSERT_EQ(curve.RowCount(), 6);
    EXPECT_EQ(curve.SelectedRow(), 5);
    EXPECT_EQ(QStringList({curve.Cell(1, 1), curve.Cell(2, 1), curve.Cell(3, 1)}),
              (QStringList{"00.00.00.000", "0", "60"}));
    EXPECT_EQ(QStringList({curve.Cell(1, 2), curve.Cell(2, 2), curve.Cell(3, 2)}),
              (QStringList{"00.00.10.000", "230", "60"}));
    for (int c = 0; c < CurveTable::kColumns; ++c)
        EXPECT_TRUE(curve.Cell(c, 3).isEmpty()) << c;
    EXPECT_EQ(curve.Cell(5, 4), QStringLiteral("115"));
    EXPECT_EQ(curve.Cell(5, 5), QStringLiteral("115"));
    EXPECT_TRUE(curve.Cell(2, 4).isEmpty());

    // A later build holds its own sequence only: no earlier voltage beside a phase voltage, no
    // earlier point in the row a FREQ step leaves empty.
    Step(1, "FREQ", "50", "", "", "00.00.01.000");
    Step(2, "UAC1", "100", "50", "", "00.00.03.000");
    Step(3, "END", "", "", "", "");
    curve.Build(sequence);
    EXPECT_EQ(curve.RowCount(), 4);
    for (int c = 0; c < CurveTable::kColumns; ++c)
        EXPECT_TRUE(curve.Cell(c, 1).isEmpty()) << c;
    EXPECT_EQ(curve.Cell(4, 2), QStringLiteral("100"));
    EXPECT_TRUE(curve.Cell(2, 2).isEmpty());
    EXPECT_TRUE(curve.Cell(1, 4).isEmpty()); // beyond this sequence's points
}

TEST_F(SpreadsheetExportTest, ReportFillsTheBlockFromTheSettingsCell)
{
    Settings(5, 2, workbook);
    ResultTable results;
    results.WriteCaptions();
    for (int k = 1; k <= 3; ++k)
        results.SetRow(k, {QString::number(k), "c" + QString::number(k), "1", "2", "3", "OK"});
    S.Test.TestRun.Copies.ReporterText = QStringLiteral("Me");
    S.Places.StartDate = QStringLiteral("07.12.2026");
    EXPECT_TRUE(
        SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, results).isEmpty());

    const CellList cells = RecordingSpreadsheet::Cells(calls);
    ASSERT_EQ(cells.size(), 9u + 4 * 6);
    EXPECT_EQ(cells[0], (CellText{5, 2, "Test-Report:"}));
    EXPECT_EQ(cells[1], (CellText{6, 2, "Reporter:"}));
    EXPECT_EQ(cells[2], (CellText{6, 3, "Me"}));
    EXPECT_EQ(cells[6], (CellText{8, 3, "0505000120"}));
    EXPECT_EQ(cells[8], (CellText{9, 3, "07.12.2026"}));
    EXPECT_EQ(cells[9], (CellText{11, 2, "Step"}));
    EXPECT_EQ(cells[14], (CellText{11, 7, "Mark"}));
    EXPECT_EQ(cells.back(), (CellText{14, 7, "OK"}));
    for (const CellText& c : cells)
        EXPECT_NE(c.row, 10) << "row R+5 stays empty";
}

TEST_F(SpreadsheetExportTest, MissingWorkbookOrBrokenSettingsStartNothing)
{
    // No settings file at all: row and column 1, no path.
    Step(1, "UAC", "230", "50", "", "00.00.05.000");
    EXPECT_EQ(SendSequenceToSpreadsheet(S.Export, S.Places, sequence, curve),
              QStringList{"Excel-File konnte nicht gelesen werden!"});
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("1"));
    EXPECT_EQ(curve.Cell(2, 2), QStringLiteral("230")) << "the curve is built all the same";

    Settings(1, 1, QDir(dir.path()).filePath(QStringLiteral("gone.xls")));
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable()),
              QStringList{"Excel-File konnte nicht gelesen werden!"});
    Settings(1, 1, dir.path()); // a folder is no workbook
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable()),
              QStringList{"Excel-File konnte nicht gelesen werden!"});

    QFile::remove(ExportSettingsPath(dir.path()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TAVCON.efg")));
    const QStringList messages =
        SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("TAVCON.efg")));
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(SpreadsheetExportTest, FailingCallStopsWithOneMessageAndKeepsWhatWasWritten)
{
    Settings(1, 1, workbook);
    failAt = QStringLiteral("cell 3 1");
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable()),
              QStringList{"Excel konnte nicht gestartet werden!"});
    EXPECT_EQ(RecordingSpreadsheet::Cells(calls).size(), 4u);
    EXPECT_EQ(calls.last(), QStringLiteral("release"));

    calls.clear();
    failAt = QStringLiteral("open");
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable()),
              QStringList{"Excel konnte nicht gestartet werden!"});
    EXPECT_TRUE(RecordingSpreadsheet::Cells(calls).empty());
}

TEST_F(SpreadsheetExportTest, WithoutThePluginTheApplicationCannotBeStarted)
{
    Settings(1, 1, workbook);
    S.Export.Spreadsheet = [this] {
        return std::make_unique<CalcPluginAutomation>(
            QDir(dir.path()).filePath(QStringLiteral("libnone.so")));
    };
    EXPECT_EQ(SendReportToSpreadsheet(S.Export, S.Places, S.Test.TestRun.Copies, ResultTable()),
              QStringList{"Excel konnte nicht gestartet werden!"});
}

TEST(CalcPluginFile, BesideTheProgramElseInThePackagesFolder)
{
    QTemporaryDir root;
    const QString bin = QDir(root.path()).filePath(QStringLiteral("usr/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(CalcPluginAutomation::DefaultPluginFile(bin + QLatin1Char('/')),
              QDir(root.path()).filePath(QStringLiteral("usr/lib/tavcontrol/libtavcalc.so")));
    WriteFileBytes(QDir(bin).filePath(QStringLiteral("libtavcalc.so")), "");
    EXPECT_EQ(CalcPluginAutomation::DefaultPluginFile(bin),
              QDir(bin).filePath(QStringLiteral("libtavcalc.so")));
}

TEST(CellBlocks, RectanglesCoverOnlyTheCellsWritten)
{
    ResultTable results;
    results.WriteCaptions();
    results.SetRow(2, {"2", "b", "", "", "", ""});
    const CellList cells = ReportCells(5, 2, TestHeader(), QStringLiteral("d"), results);
    const std::vector<CellList> blocks = CellBlocks(cells);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].size(), 1u);
    EXPECT_EQ(blocks[1].size(), 8u);  // four label rows, two columns
    EXPECT_EQ(blocks[2].size(), 18u); // captions and two result rows, six columns
    CellList joined;
    for (const CellList& b : blocks)
        joined.insert(joined.end(), b.begin(), b.end());
    EXPECT_EQ(joined, cells);

    // A gap in a row, or rows of different widths, start a new block.
    const CellList gaps{{1, 1, "a"}, {1, 3, "b"}, {2, 3, "c"}, {3, 3, "d"}, {3, 4, "e"}};
    EXPECT_EQ(CellBlocks(gaps).size(), 3u);
}

} // namespace
