// The traffic trace: one escaped line per block, rotation without loss, the command-line option.
#include "record/monotonic_clock.h"
#include "record/trace_option.h"
#include "record/trace_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> FileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

TEST(TraceWriter, LinesAreEscapedStampedAndWrittenAtOnce)
{
    EXPECT_EQ(TraceWriter::FormatLine(12, LineTrace::Direction::Sent, "COM2", "meas:volt?\n"),
              "12\tTX\tCOM2\tmeas:volt?\\n");
    EXPECT_EQ(TraceWriter::FormatLine(3, LineTrace::Direction::Received, "GPIB22",
                                      QByteArray("a\\b\tc\r\n\x01\xe9", 9)),
              "3\tRX\tGPIB22\ta\\\\b\\tc\\r\\n\\x01\\xE9");

    QTemporaryDir dir;
    const QString path = dir.filePath("t.trace");
    TraceWriter trace;
    trace.TraceLine(LineTrace::Direction::Sent, "COM1", "ignored\n"); // not open: nothing
    ASSERT_TRUE(trace.Open(path));
    const int64_t before = MonotonicMicros();
    trace.TraceLine(LineTrace::Direction::Sent, "COM1", "*idn?\n");
    // Readable at once, without closing: a killed program loses nothing it traced.
    const QList<QByteArray> lines = FileLines(path);
    ASSERT_EQ(lines.size(), 1);
    const QList<QByteArray> fields = lines[0].split('\t');
    ASSERT_EQ(fields.size(), 4);
    const qint64 stamp = fields[0].toLongLong();
    EXPECT_GE(stamp, before);
    EXPECT_LE(stamp, MonotonicMicros());
    EXPECT_EQ(fields[3], "*idn?\\n");
    trace.Close();

    // Opening again appends.
    ASSERT_TRUE(trace.Open(path));
    trace.TraceLine(LineTrace::Direction::Received, "COM1", "TAV\r\n");
    EXPECT_EQ(FileLines(path).size(), 2);
    EXPECT_FALSE(trace.Open(dir.filePath("missing/x.trace")));
    EXPECT_FALSE(trace.Error().isEmpty());
}

TEST(TraceWriter, RotatesAtItsLimitKeepingEveryLineOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("long.trace");
    TraceWriter trace;
    ASSERT_TRUE(trace.Open(path, 1000, 3));
    const int total = 400;
    for (int i = 0; i < total; ++i)
        trace.TraceLine(LineTrace::Direction::Sent, "COM1", "line " + QByteArray::number(i) + "\n");
    trace.Close();

    EXPECT_FALSE(QFile::exists(path + ".4")) << "only three generations are kept";
    QList<QByteArray> kept;
    for (const QString& name : {path + ".3", path + ".2", path + ".1", path}) {
        ASSERT_TRUE(QFile::exists(name)) << name.toStdString();
        EXPECT_LE(QFile(name).size(), 1000);
        kept += FileLines(name);
    }
    // The newest lines, in order, none missing within what was kept.
    ASSERT_GT(kept.size(), 20);
    const int first = total - static_cast<int>(kept.size());
    for (int i = 0; i < kept.size(); ++i)
        EXPECT_TRUE(kept[i].endsWith("\tline " + QByteArray::number(first + i) + "\\n"))
            << kept[i].constData();
}

TEST(TraceOption, FoundInEitherSpellingAndStarted)
{
    QTemporaryDir dir;
    const QByteArray file = QFile::encodeName(dir.filePath("a.trace"));
    char prog[] = "tavcontrol";
    char opt[] = "--trace";
    char* args1[] = {prog, opt, const_cast<char*>(file.constData())};
    const TraceOption one = FindTraceOption(3, args1);
    EXPECT_TRUE(one.given);
    EXPECT_EQ(one.path, dir.filePath("a.trace"));
    TraceWriter trace;
    QString message;
    EXPECT_TRUE(StartTrace(one, trace, message));
    EXPECT_TRUE(trace.IsOpen());

    QByteArray joined = "--trace=" + file;
    char* args2[] = {prog, joined.data()};
    EXPECT_EQ(FindTraceOption(2, args2).path, dir.filePath("a.trace"));

    char* args3[] = {prog, opt};
    const TraceOption missing = FindTraceOption(2, args3);
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(StartTrace(missing, trace, message));

    char* args4[] = {prog};
    const TraceOption none = FindTraceOption(1, args4);
    EXPECT_FALSE(none.given);
    TraceWriter unused;
    EXPECT_TRUE(StartTrace(none, unused, message));
    EXPECT_FALSE(unused.IsOpen());

    QByteArray bad = "--trace=" + QFile::encodeName(dir.filePath("no/dir/x"));
    char* args5[] = {prog, bad.data()};
    EXPECT_FALSE(StartTrace(FindTraceOption(2, args5), unused, message));
    EXPECT_TRUE(message.contains("Cannot open trace file"));
}

} // namespace
