#include "sequence/sequence_file.h"

#include "common/step_time.h"
#include "common/text_file.h"

const StepTableKind& SequenceTableKind()
{
    static const StepTableKind kind{
        {"Nr.", "Time", "Command", "Value 1", "Frequenz", "Value 2"},
        {QString::fromLatin1(kDefaultStepTime), "END", "0", "50", "0"}};
    return kind;
}

bool WriteSequenceFile(const QString& path, const StepGrid& grid, QString* error)
{
    QStringList lines;
    for (int row = 1; row <= grid.SpareRow(); ++row)
        lines.append(grid.Row(row).join(QLatin1Char(';')));
    return WriteTextLines(path, lines, error);
}

QStringList SplitStepLine(const QString& line, int fields)
{
    QStringList out;
    qsizetype start = 0;
    for (int f = 0; f < fields - 1; ++f) {
        const qsizetype sep = line.indexOf(QLatin1Char(';'), start);
        if (sep < 0) {
            out.append(line.mid(start));
            start = line.size() + 1;
            break;
        }
        out.append(line.mid(start, sep - start));
        start = sep + 1;
    }
    if (out.size() == fields - 1)
        out.append(line.mid(start));
    while (out.size() < fields)
        out.append(QString());
    return out;
}

bool ReadSequenceFile(const QString& path, StepGrid& grid,
                      const std::function<void(int line)>& timeError, QString* error)
{
    const auto lines = ReadTextLines(path, error);
    if (!lines)
        return false;
    const int rows = grid.SpareRow();
    qsizetype next = 0;
    while (next < lines->size()) {
        for (int row = 1; row <= rows; ++row, ++next) {
            const QString line = lines->value(next);
            const QStringList fields = SplitStepLine(line, grid.Columns());
            if (!StepTimeHasShape(fields[1]) && timeError)
                timeError(static_cast<int>(next + 1));
            grid.SetRow(row, fields);
        }
    }
    return true;
}
