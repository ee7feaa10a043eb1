#include "autotest/table_file.h"
#include "autotest/table_header.h"
#include "tests/support/file_bytes.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

MemoryStepGrid NewTable()
{
    MemoryStepGrid grid(kTestColumns, kTestRows);
    InitStepGrid(grid, TestTableKind());
    return grid;
}

QStringList StepLine(int row, const QString& command)
{
    return {StepNumberText(row),
            "00.00.01.000",
            command,
            "1",
            "2",
            "3",
            "4.5",
            "5.5",
            "comment " + QString::number(row),
            "1"};
}

QByteArray Header(const TestHeader& h = {})
{
    return "Test-File:\r\nReporter:;" + h.ReporterText.toLatin1() + "\r\nUnit:;" +
           h.UnitText.toLatin1() + "\r\nSerial #:;" + h.SerialText.toLatin1() + "\r\n\r\n";
}

class TestFile : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir.filePath(name); }
    // Reads the file into the table; the lines whose time was reported, in order.
    QList<int> Read(const QString& path)
    {
        QList<int> timeErrors;
        EXPECT_TRUE(ReadTestFile(path, header, grid, [&](int line) { timeErrors.append(line); }));
        return timeErrors;
    }

    QTemporaryDir dir;
    MemoryStepGrid grid = NewTable();
    TestHeader header;
};

} // namespace

TEST_F(TestFile, NewTableSavesTheHeaderAndItsEndRow)
{
    EXPECT_EQ(grid.Row(0), QStringList({"Nr.", "Time", "Command", "Value 1", "Value 2", "Value 3",
                                        "Lower Limit", "Upper Limit", "Comment", "Show"}));
    EXPECT_EQ(grid.Row(201),
              QStringList({"201", "00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}));
    ASSERT_TRUE(WriteTestFile(Path("new.tst"), TestHeader{}, grid));
    EXPECT_EQ(ReadFileBytes(Path("new.tst")),
              "Test-File:\r\nReporter:;KELM-Electronic\r\nUnit:;TAV Power Source\r\n"
              "Serial #:;0505000120\r\n\r\n 1;00.00.00.000;END;0;0;0;;;;1\r\n");
}

TEST_F(TestFile, WritesUpToTheFirstEndOrAllTwoHundredRows)
{
    for (int r = 1; r <= 3; ++r)
        grid.SetRow(r, StepLine(r, "MEAS:VOLT?"));
    grid.SetRow(5, StepLine(5, "OUTP,1")); // after END: not written
    ASSERT_TRUE(WriteTestFile(Path("four.tst"), header, grid));
    const QByteArray four = ReadFileBytes(Path("four.tst"));
    EXPECT_EQ(four, Header() + " 1;00.00.01.000;MEAS:VOLT?;1;2;3;4.5;5.5;comment 1;1\r\n"
                               " 2;00.00.01.000;MEAS:VOLT?;1;2;3;4.5;5.5;comment 2;1\r\n"
                               " 3;00.00.01.000;MEAS:VOLT?;1;2;3;4.5;5.5;comment 3;1\r\n"
                               " 4;00.00.00.000;END;0;0;0;;;;1\r\n");

    // "END" counts only as the whole cell.
    for (int r = 1; r <= 200; ++r)
        grid.SetCell(kTestCommand, r, r % 2 ? "END " : "end");
    ASSERT_TRUE(WriteTestFile(Path("all.tst"), header, grid));
    const QList<QByteArray> lines = ReadFileBytes(Path("all.tst")).split('\n');
    ASSERT_EQ(lines.size(), 5 + 200 + 1);
    EXPECT_TRUE(lines[204].startsWith("200;")) << lines[204].toStdString();
    EXPECT_EQ(lines[205], "");
}

TEST_F(TestFile, ReadingFourLinesKeepsTheRowsAfterThem)
{
    for (int r = 1; r <= 10; ++r)
        grid.SetRow(r, StepLine(r, "OLD"));
    MemoryStepGrid other = NewTable();
    for (int r = 1; r <= 3; ++r)
        other.SetRow(r, StepLine(r, "NEW"));
    const TestHeader written{"Me;and my team", "Unit X", "SN-7"};
    ASSERT_TRUE(WriteTestFile(Path("four.tst"), written, other));

    EXPECT_TRUE(Read(Path("four.tst")).isEmpty());
    EXPECT_EQ(header, written);
    EXPECT_EQ(grid.Cell(kTestCommand, 3), "NEW");
    EXPECT_EQ(grid.Row(4),
              QStringList({" 4", "00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}));
    for (int r = 5; r <= 10; ++r)
        EXPECT_EQ(grid.Row(r), StepLine(r, "OLD")) << r;
    EXPECT_EQ(grid.Cell(kTestCommand, 11), "END");
}

TEST_F(TestFile, ShortAndMalformedLines)
{
    grid.SetRow(3, StepLine(3, "OLD"));
    ASSERT_TRUE(WriteFileBytes(Path("odd.tst"),
                               Header() + " 1;00.00.00.500;MEAS:CURR?;2;0;3;0.1;0.2;nine fields\r\n"
                                          "\r\n"
                                          " 3;00:00:01;X;0;0;0;;;a;b;c\r\n"
                                          " 4;00.00.00.000;END"));
    EXPECT_EQ(Read(Path("odd.tst")), QList<int>({7, 8}));
    EXPECT_EQ(grid.Row(1), QStringList({" 1", "00.00.00.500", "MEAS:CURR?", "2", "0", "3", "0.1",
                                        "0.2", "nine fields", ""}));
    EXPECT_EQ(grid.Row(2), QStringList(kTestColumns, QString()));
    // Fields as read, the time included; "Show" takes the rest of the line.
    EXPECT_EQ(grid.Row(3), QStringList({" 3", "00:00:01", "X", "0", "0", "0", "", "", "a", "b;c"}));
    EXPECT_EQ(grid.Row(4), QStringList({" 4", "00.00.00.000", "END", "", "", "", "", "", "", ""}));
}

TEST_F(TestFile, LinesBeyondTheTwoHundredthStepAreNotUsed)
{
    QByteArray bytes = Header();
    for (int r = 1; r <= 205; ++r)
        bytes += StepLine(r, "X" + QString::number(r)).join(';').toLatin1() + "\r\n";
    ASSERT_TRUE(WriteFileBytes(Path("long.tst"), bytes));
    Read(Path("long.tst"));
    EXPECT_EQ(grid.Cell(kTestCommand, 200), "X200");
    EXPECT_EQ(grid.Row(201),
              QStringList({"201", "00.00.00.000", "END", "0", "0", "0", "", "", "", "1"}));
}

TEST_F(TestFile, SaveOpenSaveIsByteIdentical)
{
    grid.SetRow(1, StepLine(1, "SOUR:VOLTAC,230"));
    grid.SetRow(2, {" 2", "01.02.03.004", QString::fromLatin1("K\xF6rper,1"), "NEXT", "", "-5", "",
                    "1e3", QString::fromLatin1("\xB5V  "), "2"});
    grid.SetRow(3, StepLine(3, "END"));
    const TestHeader written{QString::fromLatin1("M\xFCller"), "", "0042"};
    ASSERT_TRUE(WriteTestFile(Path("a.tst"), written, grid));
    MemoryStepGrid back = NewTable();
    TestHeader readBack;
    ASSERT_TRUE(ReadTestFile(Path("a.tst"), readBack, back, nullptr));
    EXPECT_EQ(readBack, written);
    ASSERT_TRUE(WriteTestFile(Path("b.tst"), readBack, back));
    EXPECT_EQ(ReadFileBytes(Path("a.tst")), ReadFileBytes(Path("b.tst")));
    EXPECT_TRUE(ReadFileBytes(Path("a.tst")).contains("K\xF6rper,1;NEXT;;-5;;1e3;\xB5V  ;2\r\n"));
}

TEST_F(TestFile, MissingFileChangesNothing)
{
    grid.SetRow(1, StepLine(1, "KEEP"));
    const TestHeader before{"a", "b", "c"};
    header = before;
    QString error;
    EXPECT_FALSE(ReadTestFile(Path("none.tst"), header, grid, nullptr, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(header, before);
    EXPECT_EQ(grid.Cell(kTestCommand, 1), "KEEP");
    // A save into a folder that does not exist fails and says so.
    EXPECT_FALSE(WriteTestFile(Path("no/such/dir.tst"), header, grid, &error));
}

TEST(SerialNumber, AdvancesKeepingItsLength)
{
    EXPECT_EQ(AdvanceSerialNumber("0505000120"), "0505000121");
    EXPECT_EQ(AdvanceSerialNumber(AdvanceSerialNumber("0505000120")), "0505000122");
    EXPECT_EQ(AdvanceSerialNumber("0999"), "1000");
    EXPECT_EQ(AdvanceSerialNumber("99"), "100");
    EXPECT_EQ(AdvanceSerialNumber("SN12"), "0001");
    EXPECT_EQ(AdvanceSerialNumber(""), "1");
    EXPECT_EQ(AdvanceSerialNumber("2147483647"), "2147483648");
}
