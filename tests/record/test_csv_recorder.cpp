// The CSV file: header, rows in base units, the seconds column's zero, no overwrite without asking,
// disk failures.
#include "record/csv_recorder.h"
#include "record/measurement_recording.h"
#include "record/monotonic_clock.h"
#include "tests/record/csv_check.h"
#include "tests/support/file_size_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <vector>

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

// The seconds column counts from the recording's own start: not from the program's start, the
// connection (where the trend plot counts from) or an earlier recording. Each row's value is held
// between the clock readings taken around the start and around its pass, which is exact; the
// waits only put the wrong zeros far enough away to tell.
TEST(CsvRecorder, SecondsCountFromTheStartOfEachRecording)
{
    using namespace std::chrono_literals;
    QTemporaryDir dir;
    MeasurementRecording recording;
    recording.Connected();
    auto pass = [&] {
        MeasurementPass& p = recording.Pass();
        p.SlotTaken(1, 0, 9);
        p.Reply(1, "0");
        p.SlotTaken(2, 0, 9);
        p.Reply(2, "230.0V");
        p.SlotTaken(28, 0, 9);
    };
    for (const char* name : {"first.csv", "second.csv"}) {
        std::this_thread::sleep_for(300ms);
        const int64_t beforeStart = MonotonicMicros();
        ASSERT_TRUE(recording.Recorder().Start(dir.filePath(name)));
        const int64_t afterStart = MonotonicMicros();
        std::vector<std::pair<int64_t, int64_t>> passes; // clock before and after each pass
        for (int row = 0; row < 2; ++row) {
            if (row > 0)
                std::this_thread::sleep_for(100ms);
            const int64_t before = MonotonicMicros();
            pass();
            passes.emplace_back(before, MonotonicMicros());
        }
        recording.Recorder().Stop();

        const CsvCheck check = CsvCheck::Read(FileBytes(dir.filePath(name)));
        ASSERT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
        ASSERT_EQ(check.rows.size(), 2) << name;
        for (size_t row = 0; row < passes.size(); ++row) {
            const double seconds = check.rows[static_cast<qsizetype>(row)][1].toDouble();
            // The column has three decimals.
            EXPECT_GE(seconds, (passes[row].first - afterStart) / 1e6 - 0.001)
                << name << " row " << row;
            EXPECT_LE(seconds, (passes[row].second - beforeStart) / 1e6 + 0.001)
                << name << " row " << row;
        }
    }
}

} // namespace
