#include "results/results_window_stats.h"

#include "results/results_database.h"
#include "results/run_record.h"
#include "results/stats_plot.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QSvgWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { StepColumn, CommentColumn, CountColumn, FailColumn, CpkColumn = 10 };

QString Figure(const std::optional<double>& v, int decimals)
{
    return v ? QString::number(*v, 'f', decimals) : QString();
}

QString Yield(const std::optional<double>& yield, int units, int of)
{
    return yield ? QStringLiteral("%1 % (%2 of %3)").arg(*yield, 0, 'f', 1).arg(units).arg(of)
                 : QStringLiteral("-");
}

QLabel* Figure(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

ResultsStatsPage::ResultsStatsPage(const QString& journalPath, QWidget* parent)
    : QWidget(parent), m_journalPath(journalPath), m_reader(new StatsReader(this))
{
    setObjectName(QStringLiteral("StatisticsPage"));
    BuildPage();
    connect(m_reader, &StatsReader::Answered, this, &ResultsStatsPage::TakeAnswer);
}

void ResultsStatsPage::BuildPage()
{
    auto* layout = new QVBoxLayout(this);
    auto* choices = new QHBoxLayout;
    auto caption = [&](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setObjectName(field->objectName() + QStringLiteral("Label"));
        label->setBuddy(field);
        choices->addWidget(label);
        choices->addWidget(field);
    };
    m_source = new QComboBox(this);
    m_source->setObjectName(QStringLiteral("SourceChoice"));
    m_source->addItem(QStringLiteral("Station journal"));
    m_source->addItem(QStringLiteral("Line server"));
    caption(QStringLiteral("Read from:"), m_source);
    m_version = new QComboBox(this);
    m_version->setObjectName(QStringLiteral("VersionChoice"));
    m_version->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    caption(QStringLiteral("Table version:"), m_version);
    choices->addStretch();
    layout->addLayout(choices);

    auto* figures = new QHBoxLayout;
    m_runs = Figure(QStringLiteral("RunsFigure"), this);
    m_firstPass = Figure(QStringLiteral("FirstPassYield"), this);
    m_final = Figure(QStringLiteral("FinalYield"), this);
    for (auto [text, label] : {std::pair{"Runs:", m_runs},
                               {"First-pass yield:", m_firstPass},
                               {"Final yield:", m_final}}) {
        auto* caption = new QLabel(QString::fromUtf8(text), this);
        caption->setObjectName(label->objectName() + QStringLiteral("Label"));
        figures->addWidget(caption);
        figures->addWidget(label);
        figures->addSpacing(16);
    }
    figures->addStretch();
    layout->addLayout(figures);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("StatisticsSplitter"));
    m_steps = new QTableWidget(0, 11, splitter);
    m_steps->setObjectName(QStringLiteral("StepsGrid"));
    m_steps->setHorizontalHeaderLabels(
        {QStringLiteral("Step"), QStringLiteral("Comment"), QStringLiteral("n"),
         QStringLiteral("Fail"), QStringLiteral("Mean"), QStringLiteral("σ"), QStringLiteral("Min"),
         QStringLiteral("Max"), QStringLiteral("Lower"), QStringLiteral("Upper"),
         QStringLiteral("Cpk")});
    m_steps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_steps->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_steps->setSelectionMode(QAbstractItemView::SingleSelection);
    m_steps->verticalHeader()->hide();
    m_steps->verticalHeader()->setDefaultSectionSize(m_steps->fontMetrics().height() + 6);
    m_steps->setWordWrap(false);
    auto* plots = new QWidget(splitter);
    plots->setObjectName(QStringLiteral("PlotsPane"));
    auto* plotRow = new QHBoxLayout(plots);
    plotRow->setContentsMargins(0, 0, 0, 0);
    m_histogram = new QSvgWidget(plots);
    m_histogram->setObjectName(QStringLiteral("HistogramPlot"));
    m_chart = new QSvgWidget(plots);
    m_chart->setObjectName(QStringLiteral("ControlChartPlot"));
    for (QSvgWidget* plot : {m_histogram, m_chart}) {
        plot->setMinimumSize(160, 100);
        plotRow->addWidget(plot, 1);
    }
    splitter->addWidget(m_steps);
    splitter->addWidget(plots);
    // The plots want the height; a table's steps scroll.
    splitter->setSizes({200, 300});
    layout->addWidget(splitter, 1);

    connect(m_source, &QComboBox::currentIndexChanged, this, &ResultsStatsPage::Refresh);
    connect(m_version, &QComboBox::currentIndexChanged, this, [this] {
        m_needFigures = true;
        m_needValues = false;
        Ask();
    });
    connect(m_steps, &QTableWidget::currentCellChanged, this, [this](int row) {
        m_step = row >= 0 && row < m_shown.Table.Steps.size() ? m_shown.Table.Steps[row].Step
                                                              : QString();
        m_shown.Values.clear();
        ShowPlots();
        m_needValues = !m_step.isEmpty();
        if (m_needValues)
            Ask();
    });
}

void ResultsStatsPage::SetSince(qint64 sinceMs)
{
    if (sinceMs == m_sinceMs)
        return;
    m_sinceMs = sinceMs;
    m_needFigures = true;
    if (!m_statusText.isEmpty()) // read once the page has been looked at
        Ask();
}

void ResultsStatsPage::Refresh()
{
    m_needChoices = true;
    m_needFigures = true;
    Ask();
}

StatsReading::Source ResultsStatsPage::SourceNow() const
{
    StatsReading::Source source;
    source.JournalPath = m_journalPath;
    if (m_source->currentIndex() == 1)
        source.Uri = ResultsDatabase::SavedServer();
    return source;
}

void ResultsStatsPage::Ask()
{
    const StatsReading::Source source = SourceNow();
    if (m_source->currentIndex() == 1 && source.Uri.isEmpty()) {
        m_asked = 0; // an answer still on its way is not for this choice
        ShowChoices({});
        SetStatus(QStringLiteral("No results server is set up (\"Setup\" > \"Results…\")"));
        return;
    }
    StatsReading::Request request;
    request.Choices = m_needChoices;
    request.Figures = m_needFigures;
    const QStringList chosen = m_version->currentData().toStringList();
    if (!m_needChoices && chosen.size() == 4) {
        request.TableName = chosen[0];
        request.Version = chosen[1];
        request.LimitsVersion = chosen[2];
        request.LimitsModel = chosen[3];
    }
    request.SinceMs = m_sinceMs;
    if (m_needValues || m_needFigures)
        request.Step = m_step;
    m_asked = m_reader->Ask(source, request);
    SetStatus(QStringLiteral("Reading the %1…")
                  .arg(source.Uri.isEmpty() ? QStringLiteral("journal")
                                            : QStringLiteral("line's server")));
}

void ResultsStatsPage::TakeAnswer(quint64 id, const StatsReading::Answer& answer)
{
    if (id != m_asked)
        return; // a newer request asks for all this one was to bring
    if (!answer.Error.isEmpty()) {
        SetStatus(answer.Error);
        return;
    }
    const bool choices = std::exchange(m_needChoices, false);
    if (choices) {
        ShowChoices(answer.Choices);
        return; // the chosen version's figures come with the next answer
    }
    if (std::exchange(m_needFigures, false)) {
        m_shown = answer;
        ShowFigures();
    } else if (m_needValues) {
        m_shown.Values = answer.Values;
    }
    m_needValues = false;
    ShowPlots();
    const int runs = m_shown.Stats.Runs;
    SetStatus(runs == 1 ? QStringLiteral("1 run") : QStringLiteral("%1 runs").arg(runs));
}

void ResultsStatsPage::ShowChoices(const QList<StatsReading::Choice>& choices)
{
    const QVariant chosen = m_version->currentData();
    {
        const QSignalBlocker quiet(m_version);
        m_version->clear();
        for (const StatsReading::Choice& c : choices)
            m_version->addItem(
                QStringLiteral("%1  %2%3  (%4)")
                    .arg(c.TableName, ShortVersion(c.Version),
                         c.LimitsVersion.isEmpty()
                             ? QString()
                             : QStringLiteral("  limits %1 %2 for %3")
                                   .arg(c.LimitsName, c.LimitsVersion.left(12), c.LimitsModel),
                         c.Runs == 1 ? QStringLiteral("1 run")
                                     : QStringLiteral("%1 runs").arg(c.Runs)),
                QStringList{c.TableName, c.Version, c.LimitsVersion, c.LimitsModel});
        m_version->setCurrentIndex(std::max(0, m_version->findData(chosen)));
    }
    m_shown = {};
    ShowFigures();
    ShowPlots();
    m_needFigures = true;
    if (!choices.isEmpty())
        Ask();
    else
        SetStatus(QStringLiteral("No runs"));
}

void ResultsStatsPage::ShowFigures()
{
    const ResultsQuery::Stats& stats = m_shown.Stats;
    m_runs->setText(stats.NotEnded
                        ? QStringLiteral("%1 (%2 not ended)").arg(stats.Runs).arg(stats.NotEnded)
                        : QString::number(stats.Runs));
    m_firstPass->setText(Yield(stats.FirstPassYield(), stats.FirstPassUnits, stats.Units));
    m_final->setText(Yield(stats.FinalYield(), stats.FinalPassUnits, stats.Units));
    const QSignalBlocker quiet(m_steps);
    const QList<ResultsQuery::StepStats>& steps = m_shown.Table.Steps;
    m_steps->clearContents();
    m_steps->setRowCount(static_cast<int>(steps.size()));
    for (int r = 0; r < steps.size(); ++r) {
        const ResultsQuery::StepStats& s = steps[r];
        const QStringList cells{s.Step,
                                s.Comment,
                                QString::number(s.Count),
                                QString::number(s.Failures),
                                Figure(s.Mean, 4),
                                Figure(s.StdDev, 4),
                                Figure(s.Min, 4),
                                Figure(s.Max, 4),
                                Figure(s.Lower, 3),
                                Figure(s.Upper, 3),
                                Figure(s.Cpk, 2)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= CountColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_steps->setItem(r, c, item);
        }
        m_steps->item(r, CommentColumn)->setToolTip(s.Command);
        if (s.Step == m_step)
            m_steps->setCurrentCell(r, StepColumn);
        // A step that fails or is not capable stands out.
        if (s.Failures > 0)
            m_steps->item(r, FailColumn)->setForeground(Qt::red);
        if (s.Cpk && *s.Cpk < 1.33)
            m_steps->item(r, CpkColumn)->setForeground(Qt::red);
    }
    m_steps->resizeColumnsToContents();
    for (int c = 0; c + 1 < m_steps->columnCount(); ++c)
        m_steps->setColumnWidth(c, m_steps->columnWidth(c) + 12);
}

void ResultsStatsPage::ShowPlots()
{
    const auto& steps = m_shown.Table.Steps;
    const auto step = std::find_if(steps.begin(), steps.end(),
                                   [this](const auto& s) { return s.Step == m_step; });
    if (m_step.isEmpty() || step == steps.end() || m_shown.Values.isEmpty()) {
        m_histogram->load(QByteArray());
        m_chart->load(QByteArray());
        return;
    }
    m_histogram->load(StepHistogramSvg(*step, m_shown.Values));
    m_chart->load(ControlChartSvg(*step, m_shown.Values));
}

void ResultsStatsPage::SetStatus(const QString& text)
{
    m_statusText = text;
    Q_EMIT Status(text);
}
