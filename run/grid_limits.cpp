#include "run/grid_limits.h"

#include "autotest/table_file.h"
#include "run/limit_set.h"
#include "sequence/step_grid.h"

#include <QCryptographicHash>

void GridLimits::PutBack(StepGrid& grid)
{
    for (auto it = m_applied.begin(); it != m_applied.end(); ++it) {
        const auto& [own, applied] = it.value();
        const int row = it.key();
        if (grid.Cell(kTestLowerLimit, row) == applied.first &&
            grid.Cell(kTestUpperLimit, row) == applied.second) {
            grid.SetCell(kTestLowerLimit, row, own.first);
            grid.SetCell(kTestUpperLimit, row, own.second);
        }
    }
    m_applied.clear();
}

QString GridLimits::Apply(const QString& path, const QString& identification, StepGrid& grid,
                          TestedWith& tested)
{
    PutBack(grid);
    if (path.isEmpty())
        return {};
    QString error;
    const std::optional<LimitSet> set = ReadLimitSet(path, &error);
    if (!set)
        return error;
    const QString version = QString::fromLatin1(
        QCryptographicHash::hash(TestGridStepBytes(grid), QCryptographicHash::Sha256).toHex());
    if (QString problem = LimitSetProblem(*set, version, grid); !problem.isEmpty())
        return problem;
    QMap<int, std::pair<QString, QString>> own;
    for (auto it = set->Rows.begin(); it != set->Rows.end(); ++it)
        own.insert(it.key(),
                   {grid.Cell(kTestLowerLimit, it.key()), grid.Cell(kTestUpperLimit, it.key())});
    error = ApplyModelLimits(*set, QString(), identification, grid, tested);
    if (!error.isEmpty())
        return error;
    for (auto it = own.begin(); it != own.end(); ++it)
        m_applied.insert(it.key(), {it.value(),
                                    {grid.Cell(kTestLowerLimit, it.key()),
                                     grid.Cell(kTestUpperLimit, it.key())}});
    return {};
}
