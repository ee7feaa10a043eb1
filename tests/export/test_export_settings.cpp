#include "export/export_settings.h"
#include "program/program_state.h"
#include "tests/support/file_bytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ExportSettingsTest : public ::testing::Test {
protected:
    QByteArray Record(int32_t row, int32_t column, const QByteArray& path)
    {
        ExportRecord r;
        r.Row = row;
        r.Column = column;
        r.Path = path;
        return r.Encode();
    }
    QTemporaryDir dir;
    QString file = ExportSettingsPath(dir.path());
    ProgramState S;
};

TEST_F(ExportSettingsTest, RecordIsLittleEndianWithLengthBytePath)
{
    const QByteArray bytes = Record(-2, 0x01020304, "C:\\x.xls");
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(bytes.left(4), QByteArray("\xfe\xff\xff\xff", 4));
    EXPECT_EQ(bytes.mid(4, 4), QByteArray("\x04\x03\x02\x01", 4));
    EXPECT_EQ(static_cast<uint8_t>(bytes[8]), 8);
    EXPECT_EQ(bytes.mid(9, 8), QByteArray("C:\\x.xls"));
}

TEST_F(ExportSettingsTest, MissingFileChangesNothingAndLastRecordWins)
{
    S.Export.ExportRowText = QStringLiteral("7");
    ExportSettingsRead read = ReadExportSettings(S.Export, file);
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.message.isEmpty());
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("7"));
    EXPECT_TRUE(S.Export.ExportColumnText.isEmpty());

    ASSERT_TRUE(WriteFileBytes(file, Record(3, 4, "/a.xls") + Record(12, 5, "/b.ods")));
    read = ReadExportSettings(S.Export, file);
    EXPECT_TRUE(read.ok && read.message.isEmpty());
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("12"));
    EXPECT_EQ(S.Export.ExportColumnText, QStringLiteral("5"));
    EXPECT_EQ(S.Export.WorkbookPath, QStringLiteral("/b.ods"));
}

TEST_F(ExportSettingsTest, EmptyFileGivesTheRecordLastReadOrWritten)
{
    ASSERT_TRUE(WriteFileBytes(file, QByteArray()));
    S.Export.ExportRowText = QStringLiteral("1");
    ReadExportSettings(S.Export, file);
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("0"));
    EXPECT_EQ(S.Export.ExportColumnText, QStringLiteral("0"));
    EXPECT_TRUE(S.Export.WorkbookPath.isEmpty());

    const QString other = QDir(dir.path()).filePath(QStringLiteral("other.efg"));
    S.Export.ExportRowText = QStringLiteral("9");
    S.Export.ExportColumnText = QStringLiteral(" 8 ");
    S.Export.WorkbookPath = QStringLiteral("/w.xlsx");
    ASSERT_TRUE(WriteExportSettings(S.Export, other));
    S.Export.WorkbookPath.clear();
    ReadExportSettings(S.Export, file);
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("9"));
    EXPECT_EQ(S.Export.ExportColumnText, QStringLiteral("8"));
    EXPECT_EQ(S.Export.WorkbookPath, QStringLiteral("/w.xlsx"));
}

TEST_F(ExportSettingsTest, WriteRoundTripsAndCutsThePathTo255Bytes)
{
    S.Export.ExportRowText = QStringLiteral("-3");
    S.Export.ExportColumnText = QStringLiteral("2");
    S.Export.WorkbookPath = QStringLiteral("/") + QString(299, QLatin1Char('p'));
    ASSERT_TRUE(WriteExportSettings(S.Export, file));
    EXPECT_EQ(ReadFileBytes(file).size(), 264);

    ProgramState fresh;
    ReadExportSettings(fresh.Export, file);
    EXPECT_EQ(fresh.Export.ExportRowText, QStringLiteral("-3"));
    EXPECT_EQ(fresh.Export.ExportColumnText, QStringLiteral("2"));
    EXPECT_EQ(fresh.Export.WorkbookPath, S.Export.WorkbookPath.left(255));

    // A name outside Latin-1 comes back as it was written.
    S.Export.WorkbookPath = QStringLiteral("/tmp/Prüfung Ω.xlsx");
    ASSERT_TRUE(WriteExportSettings(S.Export, file));
    ReadExportSettings(fresh.Export, file);
    EXPECT_EQ(fresh.Export.WorkbookPath, S.Export.WorkbookPath);
}

TEST_F(ExportSettingsTest, NonIntegerFieldIsAConversionErrorAndWritesNothing)
{
    ASSERT_TRUE(WriteFileBytes(file, Record(1, 1, "/old.xls")));
    for (const char* text : {"", "x", "1.5", "12a"}) {
        S.Export.ExportRowText = QString::fromLatin1(text);
        S.Export.ExportColumnText = QStringLiteral("1");
        try {
            WriteExportSettings(S.Export, file);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()),
                      QStringLiteral("'%1' ist kein gültiger Integerwert").arg(text));
        }
    }
    EXPECT_EQ(ReadFileBytes(file), Record(1, 1, "/old.xls"));
}

TEST_F(ExportSettingsTest, BrokenFileLengthUsesTheLastWholeRecordAndSaysSo)
{
    ASSERT_TRUE(WriteFileBytes(file, Record(4, 6, "/a.xls") + QByteArray(100, 'z')));
    ExportSettingsRead read = ReadExportSettings(S.Export, file);
    EXPECT_TRUE(read.ok);
    EXPECT_FALSE(read.message.isEmpty());
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("4"));
    EXPECT_EQ(S.Export.WorkbookPath, QStringLiteral("/a.xls"));

    ProgramState fresh;
    fresh.Export.ExportRowText = QStringLiteral("1");
    ASSERT_TRUE(WriteFileBytes(file, QByteArray(100, 'z')));
    read = ReadExportSettings(fresh.Export, file);
    EXPECT_TRUE(read.ok);
    EXPECT_FALSE(read.message.isEmpty());
    EXPECT_EQ(fresh.Export.ExportRowText, QStringLiteral("1"));
}

TEST_F(ExportSettingsTest, UnreadableFileStopsAndFailedSaveKeepsTheOldFile)
{
    // A folder in the file's place can be neither read nor replaced.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TAVCON.efg")));
    S.Export.ExportRowText = QStringLiteral("5");
    const ExportSettingsRead read = ReadExportSettings(S.Export, file);
    EXPECT_FALSE(read.ok);
    EXPECT_FALSE(read.message.isEmpty());
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("5"));

    S.Export.ExportColumnText = QStringLiteral("6");
    QString error;
    EXPECT_FALSE(WriteExportSettings(S.Export, file, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(S.Export.ExportRowText, QStringLiteral("5"));
}

} // namespace
