#include "autotest/table_file.h"

#include "autotest/keyword_table.h"
#include "common/step_time.h"
#include "common/text_file.h"

#include <QFile>
#include <algorithm>

namespace {

constexpr int kHeaderLines = 5;
constexpr int kSerialLine = 3; // 0-based

// Lines 1 to 4 as the writer writes them; line 5 is not read.
const char* const kHeaderStarts[] = {"Test-File:", "Reporter:;", "Unit:;", "Serial #:;"};

// Where the 0-based line starts in the file's bytes (after n line ends, CR LF or LF alone);
// -1 when the file has fewer lines.
qsizetype LineStart(const QByteArray& bytes, int line)
{
    qsizetype start = 0;
    for (int n = 0; n < line && start >= 0; ++n) {
        start = bytes.indexOf('\n', start);
        if (start >= 0)
            ++start;
    }
    return start;
}

// The text after the first ';' of a header line; a line without one has no value.
QString HeaderValue(const QStringList& lines, int index)
{
    const QString line = lines.value(index);
    const qsizetype sep = line.indexOf(QLatin1Char(';'));
    return sep < 0 ? QString() : line.mid(sep + 1);
}

} // namespace

const StepTableKind& TestTableKind()
{
    static const StepTableKind kind{
        {"Nr.", "Time", "Command", "Value 1", "Value 2", "Value 3", "Lower Limit", "Upper Limit",
         "Comment", "Show"},
        {QString::fromLatin1(kDefaultStepTime), "END", "0", "0", "0", "", "", "", "1"}};
    return kind;
}

namespace {

// The row after which the writer stops: the first "END" row, or the last step row.
int LastWrittenRow(const StepGrid& grid)
{
    for (int row = 1; row <= grid.LastRow(); ++row)
        if (grid.Cell(kTestCommand, row) == KeywordText(StepKeyword::End))
            return row;
    return grid.LastRow();
}

} // namespace

FileCells TestFileCells(const TestHeader& header, const StepGrid& grid)
{
    // The header texts end their lines: a ';' in them is read back as it stands.
    FileCells cells{{QStringLiteral("the field \"Reporter:\""), header.ReporterText, false},
                    {QStringLiteral("the field \"Unit:\""), header.UnitText, false},
                    {QStringLiteral("the field \"Serial #:\""), header.SerialText, false}};
    return cells + StepGridCells(grid, LastWrittenRow(grid));
}

bool WriteTestFile(const QString& path, const TestHeader& header, const StepGrid& grid,
                   QString* error)
{
    const QString refused = SeparatorProblem(TestFileCells(header, grid));
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return false;
    }
    QStringList lines{QStringLiteral("Test-File:"),
                      QStringLiteral("Reporter:;") + header.ReporterText,
                      QStringLiteral("Unit:;") + header.UnitText,
                      QStringLiteral("Serial #:;") + header.SerialText, QString()};
    for (int row = 1; row <= LastWrittenRow(grid); ++row)
        lines.append(grid.Row(row).join(QLatin1Char(';')));
    return WriteTextLines(path, lines, error);
}

QByteArray TestGridStepBytes(const StepGrid& grid)
{
    QByteArray bytes;
    for (int row = 1; row <= LastWrittenRow(grid); ++row)
        bytes += grid.Row(row).join(QLatin1Char(';')).toLatin1() + "\r\n";
    return bytes;
}

bool ReadTestFile(const QString& path, TestHeader& header, StepGrid& grid,
                  const std::function<void(int line)>& timeError, QString* error)
{
    const auto lines = ReadTextLines(path, error);
    if (!lines)
        return false;
    header.ReporterText = HeaderValue(*lines, 1);
    header.UnitText = HeaderValue(*lines, 2);
    header.SerialText = HeaderValue(*lines, 3);
    const qsizetype steps = std::min<qsizetype>(lines->size() - kHeaderLines, grid.LastRow());
    for (int row = 1; row <= steps; ++row) {
        const int index = kHeaderLines + row - 1;
        const QStringList fields = SplitStepLine(lines->at(index), grid.Columns());
        if (!StepTimeHasShape(fields[kTestTime]) && timeError)
            timeError(index + 1);
        grid.SetRow(row, fields);
    }
    return true;
}

QList<int> TestFileFaults(const QStringList& lines)
{
    QList<int> faults;
    for (int i = 0; i < 4; ++i) {
        const QString line = lines.value(i);
        const bool good = i == 0 ? line == QLatin1String(kHeaderStarts[0])
                                 : line.startsWith(QLatin1String(kHeaderStarts[i]));
        if (!good)
            faults.append(i + 1);
    }
    const qsizetype end = std::min<qsizetype>(lines.size(), kHeaderLines + kTestRows - 2);
    for (qsizetype index = kHeaderLines; index < end; ++index)
        if (!StepTimeHasShape(SplitStepLine(lines[index], kTestColumns)[kTestTime]))
            faults.append(static_cast<int>(index + 1));
    return faults;
}

bool WriteTestFileSerial(const QString& path, const QString& serial, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes = file.readAll();
    file.close();
    // The fourth line, from its start to its line end (CR LF, or LF alone).
    const qsizetype start = LineStart(bytes, kSerialLine);
    if (start < 0 || !bytes.mid(start).startsWith(kHeaderStarts[kSerialLine])) {
        if (error)
            *error = QStringLiteral("no \"Serial #:;\" line");
        return false;
    }
    qsizetype end = bytes.indexOf('\n', start);
    if (end < 0)
        end = bytes.size();
    if (end > start && bytes[end - 1] == '\r')
        --end;
    bytes.replace(start, end - start, QByteArray(kHeaderStarts[kSerialLine]) + serial.toLatin1());
    return WriteFileAtomically(path, bytes, error);
}

QByteArrayView TestFileStepBytes(const QByteArray& bytes)
{
    const qsizetype start = LineStart(bytes, kHeaderLines);
    return start < 0 ? QByteArrayView() : QByteArrayView(bytes).sliced(start);
}
