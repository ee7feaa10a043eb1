#include "results/results_window.h"

#include "results/results_database.h"
#include "results/results_window_stats.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QUuid>
#include <QVBoxLayout>

namespace {

QTableWidget* Grid(const QString& name, const QStringList& captions, QWidget* parent)
{
    auto* grid = new QTableWidget(0, static_cast<int>(captions.size()), parent);
    grid->setObjectName(name);
    grid->setHorizontalHeaderLabels(captions);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setWordWrap(false);
    return grid;
}

// Each column as wide as its texts with some air, the last one taking what is left.
void FitColumns(QTableWidget* grid)
{
    grid->resizeColumnsToContents();
    for (int c = 0; c + 1 < grid->columnCount(); ++c)
        grid->setColumnWidth(c, grid->columnWidth(c) + 16);
}

void SetRow(QTableWidget* grid, int row, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(row, c, new QTableWidgetItem(cells[c]));
}

// The instrument that tested the run: its model and serial number, "unidentified" when it did
// not say, its whole identification when it names no fields.
QString InstrumentText(const RunRecord& run)
{
    if (!run.InstrumentModel.isEmpty() || !run.InstrumentSerial.isEmpty())
        return QStringLiteral("%1 %2").arg(run.InstrumentModel, run.InstrumentSerial);
    return run.Instrument;
}

// All that is kept of what tested the run, one thing a line.
QString TestedTip(const RunRecord& run)
{
    QStringList lines;
    if (!run.Instrument.isEmpty())
        lines << run.Instrument;
    if (!run.InstrumentOptions.isEmpty())
        lines << QStringLiteral("options: ") + run.InstrumentOptions;
    if (!run.Devices.isEmpty())
        lines << run.Devices;
    if (!run.LimitsName.isEmpty())
        lines << QStringLiteral("limits %1 %2, model %3")
                     .arg(run.LimitsName, run.LimitsVersion.left(12), run.LimitsModel);
    if (!run.Calibration.isEmpty())
        lines << run.Calibration;
    return lines.join(QLatin1Char('\n'));
}

// Local time to the second: the record's text also carries milliseconds and the offset, which
// the tooltip shows.
QString ShortTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

ResultsWindow::ResultsWindow(const QString& journalPath, QWidget* parent)
    : QDialog(parent), m_connection(QStringLiteral("results-window-") +
                                    QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    setObjectName(QStringLiteral("ResultsWindow"));
    setWindowTitle(QStringLiteral("Results"));
    BuildWindow();
    m_stats = new ResultsStatsPage(journalPath, m_tabs);
    m_tabs->addTab(m_stats, QStringLiteral("Statistics"));
    connect(m_stats, &ResultsStatsPage::Status, this, &ResultsWindow::ShowStatus);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        // The figures are read when first looked at, then kept up to date.
        if (m_tabs->currentWidget() == m_stats && m_stats->StatusText().isEmpty())
            m_stats->Refresh();
        ShowStatus();
    });
    if (!ResultsDatabase::OpenJournal(m_connection, journalPath, &m_openError))
        m_connection.clear();
    Refresh();
}

ResultsWindow::~ResultsWindow()
{
    if (!m_connection.isEmpty())
        ResultsDatabase::Close(m_connection);
}

void ResultsWindow::BuildWindow()
{
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    auto caption = [&](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        filters->addWidget(label);
        filters->addWidget(field);
    };
    m_serial = new QLineEdit(this);
    m_serial->setObjectName(QStringLiteral("SerialFilter"));
    m_serial->setClearButtonEnabled(true);
    caption(QStringLiteral("Serial #:"), m_serial);
    m_unit = new QLineEdit(this);
    m_unit->setObjectName(QStringLiteral("UnitFilter"));
    m_unit->setClearButtonEnabled(true);
    caption(QStringLiteral("Unit:"), m_unit);
    m_sinceOn = new QCheckBox(QStringLiteral("Since"), this);
    m_sinceOn->setObjectName(QStringLiteral("SinceCheck"));
    filters->addWidget(m_sinceOn);
    m_since = new QDateEdit(QDate::currentDate(), this);
    m_since->setObjectName(QStringLiteral("SinceDate"));
    m_since->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_since->setCalendarPopup(true);
    m_since->setEnabled(false);
    // The field's own size hint leaves the date not a pixel to spare, and a digit whose ink
    // reaches past its advance loses its last column: a digit's width more.
    m_since->setMinimumWidth(m_since->sizeHint().width() +
                             m_since->fontMetrics().horizontalAdvance(QLatin1Char('8')));
    filters->addWidget(m_since);
    m_verdict = new QComboBox(this);
    m_verdict->setObjectName(QStringLiteral("VerdictFilter"));
    m_verdict->addItem(QStringLiteral("all"), QString());
    for (const char* verdict : {"passed", "failed", "error", "aborted", "incomplete"})
        m_verdict->addItem(QString::fromLatin1(verdict), QString::fromLatin1(verdict));
    caption(QStringLiteral("Verdict:"), m_verdict);
    filters->addStretch();
    layout->addLayout(filters);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("ResultsSplitter"));
    m_runGrid = Grid(QStringLiteral("RunsGrid"),
                     {QStringLiteral("Time"), QStringLiteral("Serial #"), QStringLiteral("Unit"),
                      QStringLiteral("Table"), QStringLiteral("Verdict"), QStringLiteral("Station"),
                      QStringLiteral("Version"), QStringLiteral("Instrument")},
                     splitter);
    m_rowGrid = Grid(QStringLiteral("RowsGrid"),
                     {QStringLiteral("Step"), QStringLiteral("Command"), QStringLiteral("Comment"),
                      QStringLiteral("Lower Limit"), QStringLiteral("Test Result"),
                      QStringLiteral("Upper Limit"), QStringLiteral("Mark"), QStringLiteral("Show"),
                      QStringLiteral("Time (s)")},
                     splitter);
    splitter->addWidget(m_runGrid);
    splitter->addWidget(m_rowGrid);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("ResultsTabs"));
    m_tabs->addTab(splitter, QStringLiteral("Runs"));
    layout->addWidget(m_tabs, 1);

    auto* bottom = new QHBoxLayout;
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bottom->addWidget(m_status, 1);
    m_open = new QPushButton(QStringLiteral("Open in test window"), this);
    m_open->setObjectName(QStringLiteral("OpenInTestWindow"));
    m_open->setAutoDefault(false);
    bottom->addWidget(m_open);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(m_serial, &QLineEdit::textChanged, this, &ResultsWindow::Refresh);
    connect(m_unit, &QLineEdit::textChanged, this, &ResultsWindow::Refresh);
    connect(m_sinceOn, &QCheckBox::toggled, this, [this](bool on) {
        m_since->setEnabled(on);
        Refresh();
    });
    connect(m_since, &QDateEdit::dateChanged, this, &ResultsWindow::Refresh);
    // The period is the statistics' too.
    const auto since = [this] {
        m_stats->SetSince(m_sinceOn->isChecked() ? m_since->date().startOfDay().toMSecsSinceEpoch()
                                                 : 0);
    };
    connect(m_sinceOn, &QCheckBox::toggled, this, since);
    connect(m_since, &QDateEdit::dateChanged, this, since);
    connect(m_verdict, &QComboBox::currentIndexChanged, this, &ResultsWindow::Refresh);
    connect(m_runGrid, &QTableWidget::currentCellChanged, this, [this](int row) { ShowRun(row); });
    connect(m_open, &QPushButton::clicked, this, &ResultsWindow::OpenInTestWindowClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(900, 600);
}

ResultsQuery::Filter ResultsWindow::FilterNow() const
{
    ResultsQuery::Filter f;
    f.Serial = m_serial->text().trimmed();
    f.Unit = m_unit->text().trimmed();
    if (m_sinceOn->isChecked())
        f.SinceMs = m_since->date().startOfDay().toMSecsSinceEpoch();
    f.Verdict = m_verdict->currentData().toString();
    f.Limit = kListed;
    return f;
}

void ResultsWindow::Refresh()
{
    m_runs.clear();
    QString readError;
    if (!m_connection.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        m_runs = ResultsQuery::Runs(db, FilterNow(), &readError);
    }
    const QSignalBlocker quiet(m_runGrid);
    m_runGrid->clearContents();
    m_runGrid->setRowCount(static_cast<int>(m_runs.size()));
    for (int r = 0; r < m_runs.size(); ++r) {
        const RunRecord& run = m_runs[r];
        SetRow(m_runGrid, r,
               {ShortTime(run.StartedMs), run.Serial, run.Unit, run.TableName,
                VerdictText(run.Verdict), run.Station, ShortVersion(run.TableVersion),
                InstrumentText(run)});
        m_runGrid->item(r, 0)->setToolTip(run.StartedText);
        m_runGrid->item(r, 3)->setToolTip(run.TablePath);
        m_runGrid->item(r, 6)->setToolTip(run.TableVersion);
        m_runGrid->item(r, 7)->setToolTip(TestedTip(run));
        if (!run.Reason.isEmpty())
            m_runGrid->item(r, 4)->setToolTip(run.Reason);
        // A run that did not pass stands out in the list.
        if (run.Verdict != QLatin1String("passed"))
            m_runGrid->item(r, 4)->setForeground(Qt::red);
    }
    FitColumns(m_runGrid);
    if (!m_openError.isEmpty())
        m_runsStatus = m_openError;
    else if (!readError.isEmpty()) // a journal that cannot be read is not one without runs
        m_runsStatus = QStringLiteral("The journal cannot be read: ") + readError;
    else if (m_runs.size() >= kListed)
        m_runsStatus = QStringLiteral("The newest %1 runs").arg(kListed);
    else
        m_runsStatus = m_runs.size() == 1 ? QStringLiteral("1 run")
                                          : QStringLiteral("%1 runs").arg(m_runs.size());
    ShowStatus();
    ShowRun(-1);
}

void ResultsWindow::ShowRun(int listRow)
{
    m_rows.clear();
    QString readError;
    if (listRow >= 0 && listRow < m_runs.size() && !m_connection.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        m_rows = ResultsQuery::RunRows(db, m_runs[listRow].Uuid, &readError);
    }
    if (!readError.isEmpty()) {
        m_runsStatus = QStringLiteral("The run's rows cannot be read: ") + readError;
        ShowStatus();
    }
    m_open->setEnabled(listRow >= 0 && listRow < m_runs.size());
    m_rowGrid->clearContents();
    m_rowGrid->setRowCount(static_cast<int>(m_rows.size()));
    for (int r = 0; r < m_rows.size(); ++r) {
        const RowRecord& row = m_rows[r];
        SetRow(m_rowGrid, r,
               {row.Step, row.Command, row.Comment, row.LowerText, row.ValueText, row.UpperText,
                row.Mark, row.Shown ? QStringLiteral("1") : QStringLiteral("0"),
                QString::number(row.ElapsedMs / 1000.0, 'f', 1)});
        // A "Show" 0 row was checked but left out of the report.
        if (!row.Shown)
            for (int c = 0; c < m_rowGrid->columnCount(); ++c)
                m_rowGrid->item(r, c)->setForeground(palette().color(QPalette::PlaceholderText));
        if (!row.Mark.isEmpty())
            m_rowGrid->item(r, 6)->setForeground(Qt::red);
    }
    FitColumns(m_rowGrid);
}

void ResultsWindow::ShowStatus()
{
    const bool figures = m_stats && m_tabs->currentWidget() == m_stats;
    m_status->setText(figures ? m_stats->StatusText() : m_runsStatus);
    m_open->setVisible(!figures);
}

void ResultsWindow::OpenInTestWindowClick()
{
    const int row = m_runGrid->currentRow();
    if (row < 0 || row >= m_runs.size())
        return;
    m_chosen = ResultsQuery::ReportOfRun(m_runs[row], m_rows);
    accept();
}
