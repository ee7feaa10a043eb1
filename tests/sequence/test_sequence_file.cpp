#include "common/text_file.h"
#include "sequence/sequence_file.h"

#include "tests/sequence/new_sequence_table.h"
#include "tests/support/file_bytes.h"
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(SequenceFile, NewTableSavesFiftyOneLines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("new.seq");
    MemoryStepGrid grid = NewSequenceTable();
    EXPECT_EQ(grid.Row(0),
              QStringList({"Nr.", "Time", "Command", "Value 1", "Frequenz", "Value 2"}));
    ASSERT_TRUE(WriteSequenceFile(path, grid));
    const QList<QByteArray> lines = ReadFileBytes(path).split('\n');
    ASSERT_EQ(lines.size(), 52); // 51 lines, each ended by CR LF
    EXPECT_EQ(lines[0], " 1;00.00.00.000;END;0;50;0\r");
    EXPECT_EQ(lines[8], " 9;00.00.00.000;END;0;50;0\r");
    EXPECT_EQ(lines[9], "10;00.00.00.000;END;0;50;0\r");
    EXPECT_EQ(lines[50], "51;00.00.00.000;END;0;50;0\r");
    EXPECT_EQ(lines[51], "");
}

TEST(SequenceFile, SaveOpenSaveIsByteIdentical)
{
    QTemporaryDir dir;
    MemoryStepGrid grid = NewSequenceTable();
    grid.SetRow(1, {" 1", "00.00.05.000", "UAC", "230", "50", "0"});
    grid.SetRow(2, {" 2", "00.01.00.500", "FREQ", "2.5", "60", QString::fromLatin1("x\xE4")});
    grid.SetCell(0, 51, "51");
    ASSERT_TRUE(WriteSequenceFile(dir.filePath("a.seq"), grid));
    EXPECT_TRUE(
        ReadFileBytes(dir.filePath("a.seq")).startsWith(" 1;00.00.05.000;UAC;230;50;0\r\n"));
    MemoryStepGrid back = NewSequenceTable();
    int errors = 0;
    ASSERT_TRUE(ReadSequenceFile(dir.filePath("a.seq"), back, [&](int) { ++errors; }));
    EXPECT_EQ(errors, 0);
    for (int r = 1; r <= 51; ++r)
        EXPECT_EQ(back.Row(r), grid.Row(r)) << r;
    ASSERT_TRUE(WriteSequenceFile(dir.filePath("b.seq"), back));
    EXPECT_EQ(ReadFileBytes(dir.filePath("a.seq")), ReadFileBytes(dir.filePath("b.seq")));
}

TEST(SequenceFile, ShortFilesEmptyTheMissingRowsOneMessageEach)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("short.seq");
    MemoryStepGrid grid = NewSequenceTable();
    ASSERT_TRUE(WriteSequenceFile(path, grid));
    QByteArray fifty = ReadFileBytes(path);
    fifty.chop(QByteArray("51;00.00.00.000;END;0;50;0\r\n").size());
    ASSERT_TRUE(WriteFileBytes(path, fifty));
    std::vector<int> bad;
    ASSERT_TRUE(ReadSequenceFile(path, grid, [&](int line) { bad.push_back(line); }));
    EXPECT_EQ(bad, std::vector<int>{51});
    EXPECT_EQ(grid.Row(51), QStringList(6, QString()));
    EXPECT_EQ(grid.Cell(0, 50), "50");

    ASSERT_TRUE(
        WriteFileBytes(path, " 1;00.00.01.000;UAC;10;50;0\r\n 2;0.00.05.000;UDC;5;50;0\r\n"));
    bad.clear();
    MemoryStepGrid g2 = NewSequenceTable();
    ASSERT_TRUE(ReadSequenceFile(path, g2, [&](int line) { bad.push_back(line); }));
    EXPECT_EQ(bad.size(), 50u); // line 2's short hour, and the 49 missing lines
    EXPECT_EQ(bad.front(), 2);
    EXPECT_EQ(g2.Cell(1, 2), "0.00.05.000"); // entered unchanged all the same
    EXPECT_EQ(g2.Cell(2, 2), "UDC");
    EXPECT_EQ(g2.Row(3), QStringList(6, QString()));
}

TEST(SequenceFile, LongFilesAreReadInASecondPass)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.seq");
    QByteArray bytes;
    for (int i = 1; i <= 53; ++i)
        bytes += QByteArray::number(i) + ";00.00.00.000;UAC;" + QByteArray::number(i) + ";50;0\r\n";
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    MemoryStepGrid grid = NewSequenceTable();
    std::vector<int> bad;
    ASSERT_TRUE(ReadSequenceFile(path, grid, [&](int line) { bad.push_back(line); }));
    EXPECT_EQ(grid.Cell(3, 1), "52"); // line 52 went into row 1 again
    EXPECT_EQ(grid.Cell(3, 2), "53");
    EXPECT_EQ(grid.Row(3), QStringList(6, QString()));
    EXPECT_EQ(bad.size(), 49u); // lines 54 to 102 of the second pass are missing
}

TEST(SequenceFile, FieldsSplitAtTheFirstFiveSeparators)
{
    EXPECT_EQ(SplitStepLine(" 1;t;UAC;1;50;0;extra", 6),
              QStringList({" 1", "t", "UAC", "1", "50", "0;extra"}));
    EXPECT_EQ(SplitStepLine(" 1;t;UAC", 6), QStringList({" 1", "t", "UAC", "", "", ""}));
    EXPECT_EQ(SplitStepLine("", 6), QStringList(6, QString()));
    QTemporaryDir dir;
    MemoryStepGrid grid = NewSequenceTable();
    EXPECT_FALSE(ReadSequenceFile(dir.filePath("missing.seq"), grid, nullptr));
    EXPECT_EQ(grid.Cell(2, 1), "END");
}
