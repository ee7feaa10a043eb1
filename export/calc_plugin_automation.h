#pragma once

#include "export/calc_plugin_abi.h"
#include "export/spreadsheet_automation.h"

#include <QString>

// The spreadsheet application on Linux: LibreOffice Calc through the plugin library, loaded
// when the export starts it, so the program runs without LibreOffice. Without the plugin, or
// when it cannot reach Calc, Create fails like a missing automation server.
class CalcPluginAutomation : public SpreadsheetAutomation {
public:
    static constexpr const char* kPluginFileName = "libtavcalc.so";
    static constexpr const char* kPipeName = "tavcontrol";

    // pluginFile: the library as dlopen takes it; pipeName: the Calc instance's UNO pipe.
    CalcPluginAutomation(QString pluginFile, QString pipeName = QString::fromLatin1(kPipeName));
    ~CalcPluginAutomation() override;
    CalcPluginAutomation(const CalcPluginAutomation&) = delete;
    CalcPluginAutomation& operator=(const CalcPluginAutomation&) = delete;

    // The plugin beside the program (the build tree), else where the package installs it:
    // <prefix>/lib/tavcontrol/ for a program in <prefix>/bin/.
    static QString DefaultPluginFile(const QString& programDirectory);

    void Create(const QString& programId) override;
    void PutVisible(bool visible) override;
    void WorkbooksOpen(const QString& path) override;
    void PutCellValue(int row, int column, const QString& text) override;
    // Each completely filled rectangle in one call.
    void PutCellValues(const CellList& cells) override;

private:
    void PutBlock(const CellList& block, int rows, int columns);
    TavCalcSession* Session() const;

    QString m_pluginFile;
    QString m_pipeName;
    void* m_library = nullptr;
    TavCalcSession* m_session = nullptr;
    TavCalcVisibleFn m_visible = nullptr;
    TavCalcOpenFn m_open = nullptr;
    TavCalcPutBlockFn m_putBlock = nullptr;
    TavCalcReleaseFn m_release = nullptr;
};
