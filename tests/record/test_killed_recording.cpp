// A recording process killed with SIGKILL leaves a file that reads as CSV up to its last row.
#include "record/csv_recorder.h"
#include "tests/record/csv_check.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

TEST(KilledRecording, EveryCompleteRowParsesAndTheNextRecordingWorks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.csv");
    QProcess helper;
    helper.start(QStringLiteral(RECORD_KILL_HELPER), {path});
    ASSERT_TRUE(helper.waitForStarted());
    ASSERT_TRUE(helper.waitForReadyRead(60000));
    EXPECT_TRUE(helper.readAllStandardOutput().startsWith("ready"));
    ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
    ASSERT_TRUE(helper.waitForFinished(60000));
    EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const CsvCheck check = CsvCheck::Read(file.readAll());
    EXPECT_TRUE(check.problem.isEmpty()) << check.problem.toStdString();
    EXPECT_GT(check.rows.size(), 100);
    for (const auto& row : check.rows)
        EXPECT_EQ(row[23], "1");

    // The killed file stays as it is; a new recording goes into a new file.
    CsvRecorder recorder;
    EXPECT_FALSE(recorder.Start(path));
    const QString next = dir.filePath("next.csv");
    ASSERT_TRUE(recorder.Start(next));
    MeasurementRow row;
    row.time = QDateTime::currentDateTime();
    ASSERT_TRUE(recorder.Append(row));
    recorder.Stop();
    QFile again(next);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    const CsvCheck second = CsvCheck::Read(again.readAll());
    EXPECT_TRUE(second.problem.isEmpty());
    EXPECT_EQ(second.rows.size(), 1);
    EXPECT_FALSE(second.partialLast);
}

} // namespace
