#include "rack/rack_window.h"

#include "autotest/result_grid_view.h"
#include "common/program_places.h"
#include "results/results_store.h"
#include "run/rack_runner.h"
#include "widgets/file_dialogs.h"
#include "widgets/modal_window.h"
#include "widgets/operator_messages.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* Button(const char* caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QColor StateColour(const QString& state)
{
    if (state == QLatin1String("PASSED") || state == QLatin1String("running"))
        return QColor(0x00, 0x80, 0x00);
    if (state == QLatin1String("FAILED") || state == QLatin1String("ERROR"))
        return QColor(0xc0, 0x00, 0x00);
    return QColor(0x20, 0x40, 0xa0);
}

} // namespace

RackWindow::RackWindow(ResultsStore& results, const ProgramPlaces& places, QWidget* parent)
    : QDialog(parent), m_results(results), m_places(places)
{
    setObjectName(QStringLiteral("RackWindow"));
    setWindowTitle(QStringLiteral("Rack"));
    KeepOpenOnEscape(this);
    auto* layout = new QVBoxLayout(this);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(new QLabel(QStringLiteral("Test:"), this));
    m_tableField = new QLineEdit(this);
    m_tableField->setObjectName(QStringLiteral("TableEdit"));
    m_tableField->setReadOnly(true);
    tableRow->addWidget(m_tableField, 1);
    QPushButton* open = Button("Open Test", "OpenTestButton", this);
    tableRow->addWidget(open);
    layout->addLayout(tableRow);

    m_slots = new QTableWidget(kSlotRows, kColumns, this);
    m_slots->setObjectName(QStringLiteral("SlotGrid"));
    m_slots->setHorizontalHeaderLabels({QStringLiteral("Port"), QStringLiteral("Serial #"),
                                        QStringLiteral("State"), QStringLiteral("Row"),
                                        QStringLiteral("Last value"), QStringLiteral("Verdict")});
    m_slots->horizontalHeader()->setStretchLastSection(true);
    m_slots->setColumnWidth(kValue, 200);
    m_slots->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_slots->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_slots, 2);

    auto* buttons = new QHBoxLayout;
    m_start = Button("Start all", "StartAllButton", this);
    m_stop = Button("Stop all", "StopAllButton", this);
    m_stop->setEnabled(false);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addStretch(1);
    buttons->addWidget(MakeCloseButton(this));
    layout->addLayout(buttons);

    m_report = new ResultGridView(m_shown, this);
    m_report->setObjectName(QStringLiteral("SlotReport"));
    layout->addWidget(m_report, 2);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("RackLog"));
    m_log->setReadOnly(true);
    m_log->setMaximumHeight(90);
    layout->addWidget(m_log);
    resize(820, 640);

    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = AskOpenFileName(this, QStringLiteral("Test Files (*.tst)|*.tst|All "
                                                                  "Files (*.*)|*.*"));
        if (!path.isEmpty())
            SetTable(path);
    });
    connect(m_start, &QPushButton::clicked, this, &RackWindow::StartAll);
    connect(m_stop, &QPushButton::clicked, this, &RackWindow::StopAll);
    connect(m_slots, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { ShowSlotReport(row); });
}

RackWindow::~RackWindow() = default;

void RackWindow::SetTable(const QString& path)
{
    m_table = path;
    m_tableField->setText(path);
}

bool RackWindow::Running() const { return m_rack && !m_rack->IsFinished(); }

void RackWindow::SetCell(int row, int column, const QString& text)
{
    QTableWidgetItem* item = m_slots->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        m_slots->setItem(row, column, item);
    }
    item->setText(text);
}

// The slots typed into the grid, each as tavtest's --slot takes it; the run's reports are kept
// in the program's report folder.
void RackWindow::StartAll()
{
    if (Running())
        return;
    RunnerOptions options;
    options.TestFile = m_table;
    options.AutoSave = true;
    options.ReportDir = m_places.WritableDirectory;
    m_slotRows.clear();
    m_slotsAdded = 0;
    QStringList problems;
    for (int row = 0; row < kSlotRows; ++row) {
        const QString port =
            m_slots->item(row, kPort) ? m_slots->item(row, kPort)->text().trimmed() : QString();
        if (port.isEmpty())
            continue;
        const QString serial =
            m_slots->item(row, kSerial) ? m_slots->item(row, kSerial)->text().trimmed() : QString();
        QString error;
        if (auto slot = ReadRackSlot(serial.isEmpty() ? port : port + '=' + serial, &error)) {
            options.Slots << *slot;
            m_slotRows << row;
        } else {
            problems << error.replace(QLatin1String("--slot"),
                                      QStringLiteral("Row %1").arg(row + 1));
        }
        for (int column : {kState, kRow, kValue, kVerdict})
            SetCell(row, column, QString());
    }
    if (problems.isEmpty() && m_table.isEmpty())
        problems << QStringLiteral("Open a test table first.");
    if (problems.isEmpty() && options.Slots.isEmpty())
        problems << QStringLiteral("Type the port of at least one slot (COM3, gpib:5).");
    if (problems.isEmpty())
        if (const QString clash = RackSlotClash(options.Slots); !clash.isEmpty())
            problems << QString(clash).replace(QLatin1String("--slot"), QStringLiteral("Slots"));
    if (!problems.isEmpty()) {
        ShowOperatorError(this, problems.join(QLatin1Char('\n')));
        return;
    }
    m_log->clear();
    m_rack = std::make_unique<RackRunner>(options, m_results, false);
    m_rack->SetView(this);
    connect(m_rack.get(), &RackRunner::Finished, this, &RackWindow::RackFinished);
    if (!m_rack->Start()) {
        ShowOperatorError(this, m_rack->Error());
        m_rack.reset();
        return;
    }
    m_start->setEnabled(false);
    m_stop->setEnabled(!m_rack->IsFinished());
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
        SetCell(row, kSerial, slots[i]->Serial);
    }
    m_start->setEnabled(true);
    m_stop->setEnabled(false);
    ShowSlotReport(m_slots->currentRow() >= 0 ? m_slots->currentRow() : m_slotRows.value(0));
}

void RackWindow::ShowSlotReport(int row)
{
    const qsizetype slot = m_slotRows.indexOf(row);
    m_shown = ResultTable();
    if (m_rack && slot >= 0 && static_cast<size_t>(slot) < m_rack->Slots().size() &&
        m_rack->Slots()[static_cast<size_t>(slot)]->Runner)
        m_shown = m_rack->Slots()[static_cast<size_t>(slot)]->Runner->Results();
    m_report->TableChanged(-1);
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
    if (const int row = m_slotRows.value(slot, -1); row >= 0)
        SetCell(row, kValue, value);
}

void RackWindow::SetState(int slot, const QString& state)
{
    const int row = m_slotRows.value(slot, -1);
    if (row < 0)
        return;
    SetCell(row, kState, state);
    m_slots->item(row, kState)->setForeground(StateColour(state));
}

void RackWindow::Print(const QString& line) { m_log->appendPlainText(line); }
