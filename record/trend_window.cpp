#include "record/trend_window.h"

#include "panel/file_dialogs.h"
#include "panel/operator_messages.h"
#include "panel/window_timer.h"
#include "record/chart_svg.h"
#include "record/measurement_recording.h"
#include "record/trend_chart_view.h"

#include <QBoxLayout>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {

const char* const kQuantityNames[3] = {"U", "I", "P"};
const char* const kUnits[3] = {"V", "A", "W"};
// One colour per quantity, darker for the later phases.
const QColor kColors[3] = {QColor(0xd0, 0x30, 0x20), QColor(0x20, 0x60, 0xd0),
                           QColor(0x20, 0x90, 0x30)};
constexpr double kSpanSeconds[3] = {60.0, 600.0, 3600.0};

} // namespace

TrendWindow::TrendWindow(const MeasurementRecording& recording, QWidget* parent)
    : QWidget(parent, Qt::Window), m_recording(recording) {
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("Trend"));
    BuildChart();

    m_span = new QComboBox(this);
    m_span->setObjectName(QStringLiteral("TrendSpan"));
    m_span->addItems({QStringLiteral("1 min"), QStringLiteral("10 min"), QStringLiteral("1 h"),
                      QStringLiteral("All")});
    m_span->setCurrentIndex(static_cast<int>(Span::TenMinutes));
    m_pause = new QCheckBox(QStringLiteral("Pause"), this);
    m_pause->setObjectName(QStringLiteral("TrendPause"));
    auto* live = new QPushButton(QStringLiteral("Live"), this);
    live->setObjectName(QStringLiteral("TrendLive"));
    auto* png = new QPushButton(QStringLiteral("Export PNG\u2026"), this);
    png->setObjectName(QStringLiteral("TrendExportPng"));
    auto* svg = new QPushButton(QStringLiteral("Export SVG\u2026"), this);
    svg->setObjectName(QStringLiteral("TrendExportSvg"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_span);
    bar->addWidget(m_pause);
    bar->addWidget(live);
    bar->addStretch(1);
    bar->addWidget(png);
    bar->addWidget(svg);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    resize(900, 560);

    connect(m_span, &QComboBox::currentIndexChanged, this, [this](int index) {
        RunOperatorEvent(this, [this, index] { SetSpan(static_cast<Span>(index)); });
    });
    connect(m_pause, &QCheckBox::toggled, this,
            [this](bool on) { RunOperatorEvent(this, [this, on] { SetPaused(on); }); });
    OnOperatorEvent(this, live, &QPushButton::clicked, [this] { FollowLive(); });
    OnOperatorEvent(this, png, &QPushButton::clicked, [this] { ExportClick(false); });
    OnOperatorEvent(this, svg, &QPushButton::clicked, [this] { ExportClick(true); });
    OnOperatorEvent(this, m_view, &TrendChartView::viewMoved, [this] { ViewMoved(); });

    m_timer =
        MakeWindowTimer(this, QStringLiteral("TrendTimer"), kRefreshMs, [this] { Refresh(); });
    m_timer->start();
}

void TrendWindow::BuildChart() {
    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat(QStringLiteral("HH:mm:ss"));
    m_timeAxis->setTitleText(QStringLiteral("Time"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    for (int q = 0; q < 3; ++q) {
        auto* axis = new QValueAxis;
        axis->setTitleText(QStringLiteral("%1 [%2]").arg(QLatin1String(kQuantityNames[q]),
                                                         QLatin1String(kUnits[q])));
        axis->setLabelFormat(QStringLiteral("%.4g"));
        axis->setLinePenColor(kColors[q]);
        axis->setLabelsColor(kColors[q].darker(130));
        m_chart->addAxis(axis, q == 0 ? Qt::AlignLeft : Qt::AlignRight);
        m_valueAxes[static_cast<size_t>(q)] = axis;
    }
    for (int phase = 0; phase < 3; ++phase) {
        for (int q = 0; q < 3; ++q) {
            auto* series = new QLineSeries;
            series->setName(QStringLiteral("%1%2 [%3]")
                                .arg(QLatin1String(kQuantityNames[q]))
                                .arg(phase + 1)
                                .arg(QLatin1String(kUnits[q])));
            QPen pen(kColors[q].darker(100 + 40 * phase));
            pen.setWidth(2);
            // On a resistive load U and I run on top of each other: the current is dashed.
            if (q == 1)
                pen.setStyle(Qt::DashLine);
            series->setPen(pen);
            m_chart->addSeries(series);
            series->attachAxis(m_timeAxis);
            series->attachAxis(m_valueAxes[static_cast<size_t>(q)]);
            m_series[static_cast<size_t>(phase * 3 + q)] = series;
        }
    }
    m_view = new TrendChartView(m_chart, this);
    m_view->setObjectName(QStringLiteral("TrendChart"));
    connect(m_timeAxis, &QDateTimeAxis::rangeChanged, this, [this] {
        if (!m_updating)
            m_following = false;
    });
}

void TrendWindow::SetSpan(Span span) {
    m_updating = true;
    m_span->setCurrentIndex(static_cast<int>(span));
    m_updating = false;
    FollowLive();
}

void TrendWindow::SetPaused(bool paused) {
    m_pause->setChecked(paused);
    if (!paused)
        Refresh();
}

void TrendWindow::FollowLive() {
    m_updating = true;
    m_chart->zoomReset();
    m_updating = false;
    m_following = true;
    Refresh();
}

void TrendWindow::ViewMoved() {
    m_following = false;
    Refresh();
}

void TrendWindow::Refresh() {
    if (m_pause->isChecked())
        return;
    const PlotStore& store = m_recording.Plot();
    const qint64 zeroMs = m_recording.PlotStart().toMSecsSinceEpoch();
    double from = 0.0;
    double to = std::max(store.LastSeconds(), 1.0);
    const int span = m_span->currentIndex();
    if (!m_following) {
        from = (m_timeAxis->min().toMSecsSinceEpoch() - zeroMs) / 1000.0;
        to = (m_timeAxis->max().toMSecsSinceEpoch() - zeroMs) / 1000.0;
    } else if (span < static_cast<int>(Span::All)) {
        to = std::max(store.LastSeconds(), kSpanSeconds[span]);
        from = to - kSpanSeconds[span];
    }
    const int columns = std::max(100, static_cast<int>(m_chart->plotArea().width()));
    const int phases = m_recording.Phases();

    std::array<double, 3> low{}, high{};
    low.fill(INFINITY);
    high.fill(-INFINITY);
    for (int curve = 0; curve < PlotStore::kCurves; ++curve) {
        QLineSeries* series = m_series[static_cast<size_t>(curve)];
        const bool shown = curve / 3 < phases;
        series->setVisible(shown);
        if (!shown)
            continue;
        std::vector<QPointF> points = store.Decimated(curve, from, to, columns);
        const size_t q = static_cast<size_t>(curve % 3);
        for (QPointF& p : points) {
            low[q] = std::min(low[q], p.y());
            high[q] = std::max(high[q], p.y());
            p.setX(static_cast<double>(zeroMs) + p.x() * 1000.0);
        }
        series->replace(QList<QPointF>(points.begin(), points.end()));
    }

    m_updating = true;
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(zeroMs + std::llround(from * 1000.0)),
                         QDateTime::fromMSecsSinceEpoch(zeroMs + std::llround(to * 1000.0)));
    if (m_following) {
        for (size_t q = 0; q < 3; ++q) {
            if (!(low[q] <= high[q])) {
                low[q] = 0.0;
                high[q] = 1.0;
            }
            const double pad =
                std::max((high[q] - low[q]) * 0.05, std::max(std::fabs(high[q]) * 0.05, 1e-3));
            // From zero for values that never go below it, so the curves compare by eye.
            m_valueAxes[q]->setRange(low[q] >= 0.0 ? 0.0 : low[q] - pad, high[q] + pad);
        }
    }
    m_updating = false;
}

bool TrendWindow::ExportPng(const QString& path) {
    return m_view->grab().save(path, "PNG");
}

bool TrendWindow::ExportSvg(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(ChartSvg(*m_chart));
    return file.commit();
}

void TrendWindow::ExportClick(bool svg) {
    const QString path = svg ? AskSaveFileName(this, QStringLiteral("SVG Files (*.svg)|*.svg"),
                                               QStringLiteral("trend.svg"))
                             : AskSaveFileName(this, QStringLiteral("PNG Files (*.png)|*.png"),
                                               QStringLiteral("trend.png"));
    if (path.isEmpty())
        return;
    if (!(svg ? ExportSvg(path) : ExportPng(path)))
        ShowOperatorError(this, QStringLiteral("Cannot write %1").arg(path));
}
