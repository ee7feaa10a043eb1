#pragma once

#include "export/spreadsheet_automation.h"

#include <QStringList>
#include <functional>

class CurveTable;
class ResultTable;
struct ExportState;
struct ProgramPlaces;
struct TestHeader;
class StepGrid;

// The steps both "Send to Excel" buttons share: the settings are read afresh (row and column
// "1" unless TAVCON.efg says otherwise), the workbook must exist, then the application is
// started, shown, the workbook opened and the cells written. Returns the messages for the
// operator, in order; empty when everything went through.
using CellsAt = std::function<CellList(int row, int column)>;
QStringList SendToSpreadsheet(ExportState& E, const ProgramPlaces& F, const CellsAt& cells);

// The test report with its header copies at the row and column of the settings.
QStringList SendReportToSpreadsheet(ExportState& E, const ProgramPlaces& F,
                                    const TestHeader& copies, const ResultTable& results);

// The sequence: the curve table is rebuilt from it (also when nothing can be sent), then
// written at its fixed place.
QStringList SendSequenceToSpreadsheet(ExportState& E, const ProgramPlaces& F,
                                      const StepGrid& sequence, CurveTable& curve);
