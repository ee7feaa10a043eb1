#include "export/spreadsheet_export.h"

#include "common/number_reading.h"
#include "common/program_places.h"
#include "export/calc_plugin_automation.h"
#include "export/cell_layout.h"
#include "export/curve_table.h"
#include "export/export_settings.h"
#include "export/export_state.h"

#include <QFileInfo>
#include <QtGlobal>
#include <memory>

namespace {

std::unique_ptr<SpreadsheetAutomation> StartApplication(ExportState& E, const ProgramPlaces& F)
{
    if (E.Spreadsheet)
        return E.Spreadsheet();
    return std::make_unique<CalcPluginAutomation>(
        CalcPluginAutomation::DefaultPluginFile(F.ProgramDirectory));
}

} // namespace

QStringList SendToSpreadsheet(ExportState& E, const ProgramPlaces& F, const CellsAt& cells)
{
    QStringList messages;
    E.ExportRowText = QStringLiteral("1");
    E.ExportColumnText = QStringLiteral("1");
    const ExportSettingsRead read = ReadExportSettings(E, ExportSettingsPath(F.WritableDirectory));
    if (!read.message.isEmpty())
        messages << read.message;
    if (!read.ok)
        return messages;
    const int row = ReadInteger(E.ExportRowText);
    const int column = ReadInteger(E.ExportColumnText);
    if (E.WorkbookPath.isEmpty() || !QFileInfo(E.WorkbookPath).isFile()) {
        messages << QStringLiteral("Excel-File konnte nicht gelesen werden!");
        return messages;
    }
    try {
        // Released at the end of the block, failed or not; the application keeps running.
        std::unique_ptr<SpreadsheetAutomation> excel = StartApplication(E, F);
        excel->Create(QStringLiteral("Excel.Application"));
        excel->PutVisible(true);
        excel->WorkbooksOpen(E.WorkbookPath);
        excel->PutCellValues(cells(row, column));
    } catch (const std::exception& e) {
        // The box says what the operator can act on; the cause goes to the log.
        qWarning("spreadsheet export: %s", e.what());
        messages << QStringLiteral("Excel konnte nicht gestartet werden!");
    }
    return messages;
}

QStringList SendReportToSpreadsheet(ExportState& E, const ProgramPlaces& F,
                                    const TestHeader& copies, const ResultTable& results)
{
    return SendToSpreadsheet(E, F, [&F, &copies, &results](int row, int column) {
        return ReportCells(row, column, copies, F.StartDate, results);
    });
}

QStringList SendSequenceToSpreadsheet(ExportState& E, const ProgramPlaces& F,
                                      const StepGrid& sequence, CurveTable& curve)
{
    curve.Build(sequence);
    return SendToSpreadsheet(E, F, [&curve](int, int) { return CurveCells(curve); });
}
