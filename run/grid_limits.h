#pragma once

#include "autotest/tested_with.h"

#include <QMap>
#include <QString>
#include <utility>

class StepGrid;

// A limits file applied to a window's table before each unit's run: the instrument's model's
// limits written into the grid's limit cells, where the operator sees them and the report takes
// them. The cells' own texts are put back before the next run is checked, so the table's version
// is the one it is saved with; a cell edited in between changes that version, and the limits are
// refused, naming both.
class GridLimits {
public:
    // The reason when the file cannot be applied (nothing then changes); what was applied goes
    // into tested. An empty path applies nothing and puts back what was applied before.
    QString Apply(const QString& path, const QString& identification, StepGrid& grid,
                  TestedWith& tested);

private:
    void PutBack(StepGrid& grid);

    // Per step: the cells' own texts and the texts applied over them.
    QMap<int, std::pair<std::pair<QString, QString>, std::pair<QString, QString>>> m_applied;
};
