// The rack window's slots as the operator gives them, the serial numbers they run under, and
// the questions their tables ask.
#include "rack/rack_window.h"

#include "results/instrument_list.h"
#include "results/instrument_source.h"

#include "run/rack_runner.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

namespace {

// "COM3,meter=COM9" with serial "SN" is the slot "COM3=SN,meter=COM9".
QString SlotText(const QString& port, const QString& serial)
{
    if (serial.isEmpty())
        return port;
    const qsizetype comma = port.indexOf(QLatin1Char(','));
    return comma < 0 ? port + QLatin1Char('=') + serial
                     : port.left(comma) + QLatin1Char('=') + serial + port.mid(comma);
}

} // namespace

// The slots typed into the grid, each as tavtest's --slot takes it. A serial number shown from
// an earlier Start all is not taken again: each Start all numbers new units (as
// --serial-advance does) unless one is typed or scanned into the slot's cell.
QStringList RackWindow::ReadSlots(RunnerOptions& options)
{
    QStringList problems;
    options.TestFile = m_tableField->text().trimmed();
    const QString folder = m_folderField->text().trimmed();
    options.AutoSave = true;
    options.ReportDir = folder;
    options.SerialAdvance = true;
    options.LimitsFile = m_limitsField->text().trimmed();
    options.RequireCalibration = InstrumentList::CalibrationRequired();
    options.Instruments = std::make_shared<InstrumentSource>(m_results.Server(), 5000);
    if (m_pdf->isChecked())
        options.PdfFile = folder;
    if (m_junit->isChecked())
        options.JUnitFile = QDir(folder).filePath(
            QStringLiteral("rack-%1.xml")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    m_slotRows.clear();
    for (int row = 0; row < kSlotRows; ++row) {
        const QTableWidgetItem* portItem = m_slots->item(row, kPort);
        const QString port = portItem ? portItem->text().trimmed() : QString();
        if (port.isEmpty())
            continue;
        const QTableWidgetItem* serialItem = m_slots->item(row, kSerial);
        const bool typed = serialItem && !serialItem->data(Qt::UserRole).toBool();
        const QString serial = typed ? serialItem->text().trimmed() : QString();
        QString error;
        if (auto slot = ReadRackSlot(SlotText(port, serial), &error)) {
            options.Slots << *slot;
            m_slotRows << row;
        } else {
            problems << error.replace(QLatin1String("--slot"),
                                      QStringLiteral("Row %1").arg(row + 1));
        }
        for (int column : {kState, kRow, kValue, kVerdict})
            SetCell(row, column, QString());
    }
    if (problems.isEmpty() && options.TestFile.isEmpty())
        problems << QStringLiteral("Open a test table first.");
    else if (problems.isEmpty() && !QFileInfo(options.TestFile).isFile())
        problems << QStringLiteral("No such test table: %1").arg(options.TestFile);
    if (problems.isEmpty() && !options.LimitsFile.isEmpty() &&
        !QFileInfo(options.LimitsFile).isFile())
        problems << QStringLiteral("No such limits file: %1").arg(options.LimitsFile);
    if (problems.isEmpty() && options.Slots.isEmpty())
        problems << QStringLiteral("Type the port of at least one slot (COM3, gpib:5).");
    if (problems.isEmpty() && (folder.isEmpty() || !QDir().mkpath(folder)))
        problems << QStringLiteral("Reports: the folder %1 cannot be made").arg(folder);
    return problems;
}

// Each slot's serial number from the start, in grey: the unit it runs under, not one typed.
void RackWindow::ShowSerials()
{
    const auto& slots = m_rack->Slots();
    for (size_t i = 0; i < slots.size() && i < static_cast<size_t>(m_slotRows.size()); ++i) {
        const int row = m_slotRows[static_cast<qsizetype>(i)];
        SetCell(row, kSerial, slots[i]->Serial);
        MarkSerial(m_slots->item(row, kSerial), true);
    }
}

// A serial shown (grey, italic) is the one a slot ran under; a typed one is the next unit's.
void RackWindow::MarkSerial(QTableWidgetItem* item, bool shown)
{
    m_filling = true;
    item->setData(Qt::UserRole, shown);
    item->setForeground(shown ? palette().placeholderText() : palette().text());
    QFont font = item->font();
    font.setItalic(shown);
    item->setFont(font);
    m_filling = false;
}

// ---- the slots' questions ----

void RackWindow::Show(const Question* question)
{
    if (!question) {
        m_questionBox->hide();
        return;
    }
    m_question->setText(question->Console->Prefix() + question->Text.trimmed());
    m_answer->clear();
    m_questionBox->show();
    m_answer->setFocus();
}

QString RackWindow::AskedQuestion() const { return Shown() ? m_question->text() : QString(); }

void RackWindow::Answer(const QString& line) { Reply(line.trimmed()); }
