#pragma once

#include <QString>
#include <stdexcept>
#include <vector>

// One cell the export writes: row and column counted from 1 as the spreadsheet does.
struct CellText {
    int row = 0;
    int column = 0;
    QString text;

    bool operator==(const CellText&) const = default;
};
using CellList = std::vector<CellText>;

// Any failure of the spreadsheet application or of the way to it.
class AutomationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The spreadsheet application as the export drives it, call by call: create the application
// object by its program identifier, make it visible, open a workbook through its workbooks
// collection, and put texts as the values of cells of the active sheet. Every call raises
// AutomationError when it fails. Destroying the object releases every reference; the
// application keeps running with the workbook open.
class SpreadsheetAutomation {
public:
    virtual ~SpreadsheetAutomation() = default;

    virtual void Create(const QString& programId) = 0; // "Excel.Application"
    virtual void PutVisible(bool visible) = 0;
    virtual void WorkbooksOpen(const QString& path) = 0; // workbooks, then open(path)
    virtual void PutCellValue(int row, int column, const QString& text) = 0; // cells(r, c).value

    // A run of cells in the export's order; an application that can fill a block in one call
    // does so, the others take the cells one by one.
    virtual void PutCellValues(const CellList& cells)
    {
        for (const CellText& cell : cells)
            PutCellValue(cell.row, cell.column, cell.text);
    }
};
