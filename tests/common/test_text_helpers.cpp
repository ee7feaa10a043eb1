#include "common/step_time.h"
#include "common/text_file.h"
#include "common/text_pad.h"

#include "tests/support/file_bytes.h"
#include "tests/support/file_size_limit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The report's columns and the serial number's zeros: padded, never cut.
TEST(TextPad, PadsButNeverCuts)
{
    EXPECT_EQ(PadText("ab", 5, true), "   ab");
    EXPECT_EQ(PadText("ab", 5, false), "ab   ");
    EXPECT_EQ(PadText("abcdef", 3, true), "abcdef");
    EXPECT_EQ(PadZeros("121", 10), "0000000121");
    EXPECT_EQ(PadZeros("12345", 3), "12345");
}

// A step's wait in 100 ms ticks, each part rounded half to even.
TEST(StepTime, TicksPerPart)
{
    EXPECT_EQ(StepTimeTicks("00.00.01.500", 100), 15);
    EXPECT_EQ(StepTimeTicks("00.00.00.050", 100), 0);
    EXPECT_EQ(StepTimeTicks("00.00.00.150", 100), 2);
    EXPECT_EQ(StepTimeTicks("01.02.03.004", 100), 36000 + 1200 + 30 + 0);
    EXPECT_EQ(StepTimeTicks("garbage", 100), 0);
}

TEST(StepTime, ShapeIsTwelveCharactersWithPointsAtThreeSixAndNine)
{
    EXPECT_TRUE(StepTimeHasShape(kDefaultStepTime));
    EXPECT_TRUE(StepTimeHasShape("00.00.05.000"));
    EXPECT_FALSE(StepTimeHasShape("0.00.05.000"));
    EXPECT_FALSE(StepTimeHasShape("00.00"));
    EXPECT_FALSE(StepTimeHasShape(""));
}

TEST(TextFile, EightBitLinesRoundTripByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.seq");
    // Bytes above 127 are characters of their own, not UTF-8.
    const QStringList lines{QStringLiteral(" 1;00.00.05.000;UAC;230;50;0"),
                            QString::fromLatin1("\xB0\xE4\xFF;x"), QString()};
    ASSERT_TRUE(WriteTextLines(path, lines));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(" 1;00.00.05.000;UAC;230;50;0\r\n\xB0\xE4\xFF;x\r\n\r\n"));
    const auto back = ReadTextLines(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, lines);
}

TEST(TextFile, ReadsLfAndUnterminatedLastLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("t.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("a\nb\r\nc");
    f.close();
    EXPECT_EQ(*ReadTextLines(path), QStringList({"a", "b", "c"}));
    EXPECT_FALSE(ReadTextLines(dir.filePath("missing")).has_value());
}

TEST(TextFile, FailedSaveKeepsThePreviousFileAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.seq");
    const QByteArray old = " 1;00.00.05.000;UAC;230;50;0\r\n 2;00.00.01.000;END;0;50;0\r\n";
    ASSERT_TRUE(WriteFileBytes(path, old));
    QString error;
    {
        // The disk "fills up" after a few bytes of the new file.
        FileSizeLimit limit(8);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(WriteTextLines(path, {" 1;00.00.09.000;UDC;12;60;0"}, &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.seq"});

    // A writer that opens the file itself (the PDF printer) gets a temporary name beside it:
    // a failed write keeps the old file, a finished one replaces it, nothing is left over.
    QString written;
    EXPECT_FALSE(WriteThroughTemporary(path, [&](const QString& temporary) {
        written = temporary;
        return WriteFileBytes(temporary, "half") && false;
    }));
    EXPECT_NE(written, path);
    EXPECT_TRUE(written.endsWith(".seq")) << written.toStdString();
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.seq"});
    EXPECT_TRUE(WriteThroughTemporary(
        path, [](const QString& temporary) { return WriteFileBytes(temporary, "whole"); }));
    EXPECT_EQ(ReadFileBytes(path), "whole");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.seq"});
}
