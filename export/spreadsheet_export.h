#pragma once

#include "export/spreadsheet_automation.h"

#include <QStringList>
#include <functional>

class CurveTable;
class ProgramState;
class ResultTable;
class StepGrid;

// The steps both "Send to Excel" buttons share: the settings are read afresh (row and column
// "1" unless TAVCON.efg says otherwise), the workbook must exist, then the application is
// started, shown, the workbook opened and the cells written. Returns the messages for the
// operator, in order; empty when everything went through.
using CellsAt = std::function<CellList(int row, int column)>;
QStringList SendToSpreadsheet(ProgramState& S, const CellsAt& cells);

// The test report at the row and column of the settings.
QStringList SendReportToSpreadsheet(ProgramState& S, const ResultTable& results);

// The sequence: the curve table is rebuilt from it (also when nothing can be sent), then
// written at its fixed place.
QStringList SendSequenceToSpreadsheet(ProgramState& S, const StepGrid& sequence,
                                      CurveTable& curve);
