#include "rack/rack_window.h"

#include "autotest/report_print.h"
#include "autotest/result_grid_view.h"
#include "common/program_directory.h"
#include "common/program_places.h"
#include "results/results_store.h"
#include "run/rack_runner.h"
#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>

namespace {

const char* const kFolderKey = "rack/reports";

QColor StateColour(const QString& state)
{
    if (state == QLatin1String("passed") || state == QLatin1String("running") ||
        state == QLatin1String("PASSED"))
        return QColor(0x00, 0x80, 0x00);
    if (state == QLatin1String("starting"))
        return QColor(0x20, 0x40, 0xa0);
    if (state == QLatin1String("stopped"))
        return QColor(0x80, 0x60, 0x00);
    return QColor(0xc0, 0x00, 0x00);
}

} // namespace

RackWindow::RackWindow(ResultsStore& results, const ProgramPlaces& places, QWidget* parent)
    : QDialog(parent), m_results(results), m_places(places)
{
    setObjectName(QStringLiteral("RackWindow"));
    setWindowTitle(QStringLiteral("Rack"));
    KeepOpenOnEscape(this);
    BuildLayout();
    // Reports go to a folder of the user's own: the program's folder may be one nobody writes
    // to (an installed program's).
    SetReportFolder(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                        .filePath(QStringLiteral("TAV reports")));
}

RackWindow::~RackWindow() = default;

void RackWindow::SetTable(const QString& path) { m_tableField->setText(path); }

void RackWindow::SetReportFolder(const QString& folder) { m_folderField->setText(folder); }

bool RackWindow::Running() const { return m_rack && !m_rack->IsFinished(); }

void RackWindow::SetCell(int row, int column, const QString& text)
{
    m_filling = true;
    QTableWidgetItem* item = m_slots->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        m_slots->setItem(row, column, item);
    }
    item->setText(text);
    m_filling = false;
}

void RackWindow::StartAll()
{
    if (Running())
        return;
    RunnerOptions options;
    const QStringList problems = ReadSlots(options);
    if (!problems.isEmpty()) {
        ShowOperatorError(this, problems.join(QLatin1Char('\n')));
        return;
    }
    ProgramSettings().setValue(QLatin1String(kFolderKey), options.ReportDir);
    m_log->clear();
    m_slotsAdded = 0;
    m_rack = std::make_unique<RackRunner>(options, m_results, false);
    m_rack->SetView(this);
    m_rack->SetQuestions(this);
    // The slots' lines in the log name their slot, not a program.
    m_rack->SetConsoles([](const QString& prefix) {
        auto console = std::make_unique<RunnerConsole>(stderr, false, false);
        console->SetPrefix(prefix);
        console->SetSpeaker(QString());
        return console;
    });
    if (m_pdf->isChecked())
        m_rack->SetPdfWriter(&WriteReportPdf);
    connect(m_rack.get(), &RackRunner::Finished, this, &RackWindow::RackFinished);
    if (!m_rack->Start()) {
        ShowOperatorError(
            this,
            QString(m_rack->Error()).replace(QLatin1String("--slot"), QStringLiteral("Slots")));
        m_rack.reset();
        return;
    }
    ShowSerials();
    m_start->setEnabled(false);
    m_stop->setEnabled(!m_rack->IsFinished());
    ShowSlotReport(m_slots->currentRow());
}

void RackWindow::StopAll()
{
    if (Running())
        m_rack->Interrupt();
}

void RackWindow::RackFinished()
{
    const auto& slots = m_rack->Slots();
    for (size_t i = 0; i < slots.size() && i < static_cast<size_t>(m_slotRows.size()); ++i) {
        const int status = slots[i]->Status;
        const int row = m_slotRows[static_cast<qsizetype>(i)];
        const QString verdict = status == TestRunner::kPassed   ? QStringLiteral("PASSED")
                                : status == TestRunner::kFailed ? QStringLiteral("FAILED")
                                                                : QStringLiteral("ERROR");
        SetCell(row, kVerdict, verdict);
        m_slots->item(row, kVerdict)->setForeground(StateColour(verdict));
        ShowEndState(static_cast<int>(i));
    }
    m_questionBox->hide();
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
    ShowSlotReport(m_slots->currentRow() >= 0 ? m_slots->currentRow() : m_slotRows.value(0));
}

// The report shown is always the chosen slot's, drawn anew: two reports of the same length
// differ in every cell.
void RackWindow::ShowSlotReport(int row)
{
    const qsizetype slot = m_slotRows.indexOf(row);
    m_shown = ResultTable();
    m_reportOf->clear();
    if (m_rack && slot >= 0 && static_cast<size_t>(slot) < m_rack->Slots().size()) {
        const auto& chosen = *m_rack->Slots()[static_cast<size_t>(slot)];
        m_shown = chosen.Runner->Results();
        m_reportOf->setText(
            QStringLiteral("Report of %1 %2").arg(chosen.Given.Name, chosen.Serial));
    }
    m_report->TableReplaced();
}

// Closing while slots run stops them first: no unit is left with its output on.
void RackWindow::done(int result)
{
    if (Running()) {
        StopAll();
        while (Running())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QDialog::done(result);
}

// ---- the slots' progress ----

int RackWindow::AddSlot(const QString& name)
{
    Q_UNUSED(name); // the grid row names it
    const int slot = m_slotsAdded++;
    SetState(slot, QStringLiteral("starting"));
    return slot;
}

void RackWindow::SetRow(int slot, int done, int total)
{
    const int row = m_slotRows.value(slot, -1);
    if (row < 0)
        return;
    SetCell(row, kRow, QStringLiteral("%1/%2").arg(done).arg(total));
    if (m_slots->item(row, kState)->text() == QLatin1String("starting"))
        SetState(slot, QStringLiteral("running"));
}

void RackWindow::SetValue(int slot, const QString& value)
{
    const int row = m_slotRows.value(slot, -1);
    if (row < 0)
        return;
    SetCell(row, kValue, value);
    if (row == m_slots->currentRow())
        ShowSlotReport(row);
}

// The console's verdict (PASSED, FAILED, ERROR) comes as the slot ends: the State column says
// how it ended instead.
void RackWindow::SetState(int slot, const QString& state)
{
    const int row = m_slotRows.value(slot, -1);
    if (row < 0)
        return;
    if (state == QLatin1String("PASSED") || state == QLatin1String("FAILED") ||
        state == QLatin1String("ERROR")) {
        ShowEndState(slot);
        if (row == m_slots->currentRow())
            ShowSlotReport(row);
        return;
    }
    SetCell(row, kState, state);
    m_slots->item(row, kState)->setForeground(StateColour(state));
}

void RackWindow::ShowEndState(int slot)
{
    const int row = m_slotRows.value(slot, -1);
    if (row < 0 || !m_rack || static_cast<size_t>(slot) >= m_rack->Slots().size())
        return;
    const QString state = m_rack->Slots()[static_cast<size_t>(slot)]->Runner->EndState();
    SetCell(row, kState, state);
    m_slots->item(row, kState)->setForeground(StateColour(state));
}

void RackWindow::Print(const QString& line) { m_log->appendPlainText(line); }
