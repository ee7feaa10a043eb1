#include "export/spreadsheet_export.h"

#include "common/number_reading.h"
#include "export/calc_plugin_automation.h"
#include "export/cell_layout.h"
#include "export/curve_table.h"
#include "export/export_settings.h"
#include "panel/program_state.h"

#include <QFileInfo>
#include <memory>

namespace {

std::unique_ptr<SpreadsheetAutomation> StartApplication(ProgramState& S)
{
    if (S.Spreadsheet)
        return S.Spreadsheet();
    return std::make_unique<CalcPluginAutomation>(
        CalcPluginAutomation::DefaultPluginFile(S.ProgramDirectory));
}

} // namespace

QStringList SendToSpreadsheet(ProgramState& S, const CellsAt& cells)
{
    QStringList messages;
    S.ExportRowText = QStringLiteral("1");
    S.ExportColumnText = QStringLiteral("1");
    const ExportSettingsRead read = ReadExportSettings(S, ExportSettingsPath(S.WritableDirectory));
    if (!read.message.isEmpty())
        messages << read.message;
    if (!read.ok)
        return messages;
    const int row = ReadInteger(S.ExportRowText);
    const int column = ReadInteger(S.ExportColumnText);
    if (S.WorkbookPath.isEmpty() || !QFileInfo(S.WorkbookPath).isFile()) {
        messages << QStringLiteral("Excel-File konnte nicht gelesen werden!");
        return messages;
    }
    try {
        // Released at the end of the block, failed or not; the application keeps running.
        std::unique_ptr<SpreadsheetAutomation> excel = StartApplication(S);
        excel->Create(QStringLiteral("Excel.Application"));
        excel->PutVisible(true);
        excel->WorkbooksOpen(S.WorkbookPath);
        excel->PutCellValues(cells(row, column));
    } catch (const std::exception&) {
        messages << QStringLiteral("Excel konnte nicht gestartet werden!");
    }
    return messages;
}

QStringList SendReportToSpreadsheet(ProgramState& S, const ResultTable& results)
{
    return SendToSpreadsheet(S, [&S, &results](int row, int column) {
        return ReportCells(row, column, S.TestRun.Copies, S.StartDate, results);
    });
}

QStringList SendSequenceToSpreadsheet(ProgramState& S, const StepGrid& sequence,
                                      CurveTable& curve)
{
    curve.Build(sequence);
    return SendToSpreadsheet(S, [&curve](int, int) { return CurveCells(curve); });
}
