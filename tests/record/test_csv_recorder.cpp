// The CSV file: header, rows in base units, no overwrite without asking, disk failures.
#include "record/csv_recorder.h"
#include "tests/record/csv_check.h"
#include "tests/support/file_size_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

MeasurementRow SampleRow(double volts)
{
    MeasurementRow row;
    row.values[0] = {volts, 0.1234, 28.39, 28.4, 0.1745, 0.998, 1.414};
    row.output = 1;
    row.statusWord = 9;
    row.time = QDateTime::currentDateTime();
    row.micros = 0;
    return row;
}

TEST(CsvRecorder, HeaderAndRowsReadBackAsNumbers)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("run.csv");
    CsvRecorder recorder;
    ASSERT_TRUE(recorder.Start(path)) << recorder.Error().toStdString();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(recorder.Append(SampleRow(230.0 + i)));
    EXPECT_EQ(recorder.Rows(), 3);
    recorder.Stop();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(recorder.Append(SampleRow(1.0))) << "nothing after the end";

    const QByteArray bytes = FileBytes(path);
    EXPECT_TRUE(
        bytes.startsWith("Time,Seconds [s],U1 [V],I1 [A],P1 [W],S1 [VA],IP1 [A],PF1,CF1,U2 [V]"));
    EXPECT_TRUE(bytes.split('\n').front().endsWith("CF3,Output,Status\r"));
    const CsvCheck check = CsvCheck::Read(bytes);
    ASSERT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
    ASSERT_EQ(check.rows.size(), 3);
    const QList<QByteArray>& row = check.rows[2];
    EXPECT_EQ(row[2], "232");
    EXPECT_EQ(row[3], "0.1234");
    EXPECT_EQ(row[9], "") << "phase 2 not polled";
    EXPECT_EQ(row[23], "1");
    EXPECT_EQ(row[24], "9");
    // The local time carries its offset from UTC.
    const QDateTime t = QDateTime::fromString(QString::fromLatin1(row[0]), Qt::ISODateWithMs);
    EXPECT_LE(std::abs(t.msecsTo(QDateTime::currentDateTime())), 60000);
    EXPECT_EQ(t.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
}

TEST(CsvRecorder, ExistingFileIsKeptUnlessReplacingWasAsked)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.csv");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious\n");
    }
    CsvRecorder recorder;
    EXPECT_FALSE(recorder.Start(path));
    EXPECT_FALSE(recorder.Error().isEmpty());
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(FileBytes(path), "precious\n");

    ASSERT_TRUE(recorder.Start(path, CsvRecorder::Existing::Replace));
    ASSERT_TRUE(recorder.Append(SampleRow(1.0)));
    recorder.Stop();
    EXPECT_TRUE(FileBytes(path).startsWith("Time,"));
    EXPECT_EQ(CsvCheck::Read(FileBytes(path)).rows.size(), 1);

    // A second recording into a new file after the first.
    const QString second = dir.filePath("second.csv");
    ASSERT_TRUE(recorder.Start(second));
    EXPECT_EQ(recorder.Rows(), 0);
    ASSERT_TRUE(recorder.Append(SampleRow(2.0)));
    recorder.Stop();
    EXPECT_EQ(CsvCheck::Read(FileBytes(second)).rows.size(), 1);
}

TEST(CsvRecorder, FullDiskStopsTheRecordingAndKeepsWholeRows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("full.csv");
    CsvRecorder recorder;
    {
        // Room for the header and a row and a half.
        FileSizeLimit limit(
            static_cast<rlim_t>(CsvRecorder::HeaderLine().size() +
                                CsvRecorder::RowLine(SampleRow(1.0), 0).size() * 3 / 2));
        ASSERT_TRUE(limit.Active());
        ASSERT_TRUE(recorder.Start(path)) << recorder.Error().toStdString();
        EXPECT_TRUE(recorder.Append(SampleRow(1.0)));
        EXPECT_FALSE(recorder.Append(SampleRow(2.0)));
    }
    EXPECT_FALSE(recorder.Recording());
    EXPECT_FALSE(recorder.Error().isEmpty());
    EXPECT_EQ(recorder.Rows(), 1);
    const CsvCheck check = CsvCheck::Read(FileBytes(path));
    EXPECT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
    EXPECT_FALSE(check.partialLast) << "the half row is cut off again";
    EXPECT_EQ(check.rows.size(), 1);

    EXPECT_FALSE(recorder.Start(dir.filePath("no/such/folder.csv")));
}

} // namespace
