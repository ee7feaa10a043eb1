#pragma once

#include "export/export_settings.h"
#include "export/spreadsheet_automation.h"

#include <QString>
#include <functional>
#include <memory>

// The spreadsheet export settings in memory (TAVCON.efg holds them between runs): empty until
// the options window, the test window or an export fills them.
struct ExportState {
    QString ExportRowText;
    QString ExportColumnText;
    QString WorkbookPath;
    // The TAVCON.efg record last read or written in this run.
    ExportRecord ExportBuffer;
    // Starts the spreadsheet application for an export; the LibreOffice plugin unless a test
    // puts its own in.
    std::function<std::unique_ptr<SpreadsheetAutomation>()> Spreadsheet;
};
