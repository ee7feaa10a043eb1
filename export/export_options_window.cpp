#include "export/export_options_window.h"

#include "common/program_places.h"
#include "common/text_file.h"
#include "export/export_settings.h"
#include "export/export_state.h"
#include "widgets/file_dialogs.h"
#include "widgets/operator_messages.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Beside the two choices the program always had, the formats Calc reads best.
const char* const kWorkbookFilter = "Excel Files (*.xls)|*.xls|Excel Files (*.xlsx)|*.xlsx|"
                                    "Calc Files (*.ods)|*.ods|Planmaker(*.pmd)|*.pmd";

} // namespace

TForm7::TForm7(ExportState& exports, const ProgramPlaces& places, QWidget* parent)
    : QDialog(parent), E(exports), F(places)
{
    setObjectName(QStringLiteral("TForm7"));
    setWindowTitle(QStringLiteral("Excel Export"));
    KeepOpenOnEscape(this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Arbeitsmappe:"), this), 0, 0);
    m_workbook = new QLineEdit(this);
    m_workbook->setObjectName(QStringLiteral("WorkbookEdit"));
    m_workbook->setEnabled(false);
    grid->addWidget(m_workbook, 0, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("BrowseButton"));
    browse->setAutoDefault(false);
    browse->setFixedWidth(28);
    OnOperatorEvent(this, browse, &QPushButton::clicked, [this] { BrowseClick(); });
    grid->addWidget(browse, 0, 2);

    grid->addWidget(new QLabel(QStringLiteral("Position/Zeile:"), this), 1, 0);
    m_row = new QLineEdit(this);
    m_row->setObjectName(QStringLiteral("RowEdit"));
    grid->addWidget(m_row, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Position/Spalte:"), this), 2, 0);
    m_column = new QLineEdit(this);
    m_column->setObjectName(QStringLiteral("ColumnEdit"));
    grid->addWidget(m_column, 2, 1);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    OnOperatorEvent(this, close, &QPushButton::clicked, [this] { CloseClick(); });
    grid->addWidget(close, 3, 1);
    resize(491, 179);

    // A broken file does not keep the window (or the program start) from going on.
    const ExportSettingsRead read = ReadExportSettings(E, ExportSettingsPath(F.WritableDirectory));
    if (!read.message.isEmpty())
        ShowOperatorError(this, read.message);
    m_workbook->setText(E.WorkbookPath);
    m_row->setText(E.ExportRowText);
    m_column->setText(E.ExportColumnText);
}

void TForm7::BrowseClick()
{
    const QString path = AskOpenFileName(this, QString::fromLatin1(kWorkbookFilter));
    if (!path.isEmpty())
        TakeWorkbook(path);
}

void TForm7::TakeWorkbook(const QString& path) { m_workbook->setText(path); }

void TForm7::CloseClick()
{
    E.ExportRowText = m_row->text();
    E.ExportColumnText = m_column->text();
    E.WorkbookPath = m_workbook->text();
    CheckCellPosition(E.ExportRowText, E.ExportColumnText);
    const QString path = ExportSettingsPath(F.WritableDirectory);
    QString error;
    if (!WriteExportSettings(E, path, &error)) {
        ShowOperatorError(this, FileErrorText(path, error));
        return;
    }
    accept();
}

ModalWindowSlot& ExportOptionsSlot()
{
    static ModalWindowSlot slot;
    return slot;
}

void OpenExportOptions(ExportState& exports, const ProgramPlaces& places, QWidget* parent)
{
    ModalWindowSlot& slot = ExportOptionsSlot();
    slot.SetFactory([&exports, &places](QWidget* p) { return new TForm7(exports, places, p); });
    slot.ShowModal(parent);
}
