#include "sequence/sequence_file.h"

#include "common/step_time.h"
#include "common/text_file.h"

const StepTableKind& SequenceTableKind()
{
    static const StepTableKind kind{{"Nr.", "Time", "Command", "Value 1", "Frequenz", "Value 2"},
                                    {QString::fromLatin1(kDefaultStepTime), "END", "0", "50", "0"}};
    return kind;
}

bool WriteSequenceFile(const QString& path, const StepGrid& grid, QString* error)
{
    const QString refused = SeparatorProblem(SequenceFileCells(grid));
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return false;
    }
    QStringList lines;
    for (int row = 1; row <= grid.SpareRow(); ++row)
        lines.append(grid.Row(row).join(QLatin1Char(';')));
    return WriteTextLines(path, lines, error);
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
