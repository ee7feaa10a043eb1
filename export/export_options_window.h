#pragma once

#include "widgets/modal_window.h"

#include <QDialog>

class QLineEdit;
struct ExportState;
struct ProgramPlaces;

// TForm7, "Excel Export": the workbook and the first cell of the spreadsheet export. Its
// creation reads TAVCON.efg; "Close" keeps the fields and saves the file, the close box keeps
// nothing.
class TForm7 : public QDialog {
    Q_OBJECT

public:
    TForm7(ExportState& exports, const ProgramPlaces& places, QWidget* parent = nullptr);

    // "...": the workbook from the file dialog; cancelling it changes nothing.
    void BrowseClick();
    void TakeWorkbook(const QString& path);
    // "Close": the fields into the settings, the file written, the window closed. A field that
    // is not a whole number, or a file that cannot be written, keeps the window open.
    void CloseClick();

private:
    ExportState& E;
    const ProgramPlaces& F;
    QLineEdit* m_workbook = nullptr;
    QLineEdit* m_row = nullptr;
    QLineEdit* m_column = nullptr;
};

// The options window made hidden at program start serves the first opening; every later one
// is made afresh.
ModalWindowSlot& ExportOptionsSlot();

// "Excel Options" of the sequence and test windows.
void OpenExportOptions(ExportState& exports, const ProgramPlaces& places, QWidget* parent);
