#include "record/trend_window.h"

#include "record/axis_ticks.h"
#include "record/chart_svg.h"
#include "record/measurement_recording.h"
#include "record/trend_chart_view.h"
#include "record/trend_pane.h"
#include "record/trend_readout.h"
#include "widgets/file_dialogs.h"
#include "widgets/operator_messages.h"
#include "widgets/window_timer.h"

#include <QBoxLayout>
#include <QCategoryAxis>
#include <QChart>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kSpanSeconds[3] = {60.0, 600.0, 3600.0};

} // namespace

TrendWindow::TrendWindow(const MeasurementRecording& recording, QWidget* parent)
    : QWidget(parent, Qt::Window), m_recording(recording)
{
    setObjectName(QStringLiteral("TrendWindow"));
    setWindowTitle(QStringLiteral("Trend"));
    BuildPanes();

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
    m_readout = new QLabel(QStringLiteral("Point at a plot to read its values"), this);
    m_readout->setObjectName(QStringLiteral("TrendReadout"));
    m_readout->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_span);
    bar->addWidget(m_pause);
    bar->addWidget(live);
    bar->addStretch(1);
    bar->addWidget(png);
    bar->addWidget(svg);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_plots, 1);
    layout->addWidget(m_readout);
    resize(900, 720);

    connect(m_span, &QComboBox::currentIndexChanged, this, [this](int index) {
        RunOperatorEvent(this, [this, index] { SetSpan(static_cast<Span>(index)); });
    });
    connect(m_pause, &QCheckBox::toggled, this,
            [this](bool on) { RunOperatorEvent(this, [this, on] { SetPaused(on); }); });
    OnOperatorEvent(this, live, &QPushButton::clicked, [this] { FollowLive(); });
    OnOperatorEvent(this, png, &QPushButton::clicked, [this] { ExportClick(false); });
    OnOperatorEvent(this, svg, &QPushButton::clicked, [this] { ExportClick(true); });

    m_timer =
        MakeWindowTimer(this, QStringLiteral("TrendTimer"), kRefreshMs, [this] { Refresh(); });
    m_timer->start();
}

void TrendWindow::BuildPanes()
{
    m_plots = new QWidget(this);
    m_plots->setObjectName(QStringLiteral("TrendChart"));
    auto* stack = new QVBoxLayout(m_plots);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (int q = 0; q < 3; ++q) {
        auto* pane = new TrendPane(q, m_plots);
        m_panes[static_cast<size_t>(q)] = pane;
        pane->SetTimeLabelsVisible(q == 2);
        // Tall enough for a legend, three value labels and, in the lowest, the time axis.
        pane->View()->setMinimumHeight(fontMetrics().height() * (q == 2 ? 10 : 8));
        stack->addWidget(pane->View(), q == 2 ? 6 : 5);
        OnOperatorEvent(this, pane->View(), &TrendChartView::viewMoved,
                        [this, q] { ViewMoved(q); });
        connect(pane->View(), &TrendChartView::hovered, this,
                [this](double seconds) { ShowReadout(seconds); });
        connect(pane, &TrendPane::curveSwitched, this, [this] { Refresh(); });
        connect(pane->TimeAxis(), &QValueAxis::rangeChanged, this, [this, q] {
            if (m_updating)
                return;
            m_following = false;
            m_leader = q;
        });
        connect(pane->Chart(), &QChart::plotAreaChanged, this, [this] { AlignPanes(); });
    }
}

QChart* TrendWindow::Chart() const { return m_panes[0]->Chart(); }

QLineSeries* TrendWindow::Curve(int curve) const
{
    return m_panes[static_cast<size_t>(curve % 3)]->Curve(curve / 3);
}

void TrendWindow::SetSpan(Span span)
{
    m_updating = true;
    m_span->setCurrentIndex(static_cast<int>(span));
    m_updating = false;
    FollowLive();
}

void TrendWindow::SetPaused(bool paused)
{
    m_pause->setChecked(paused);
    if (!paused)
        Refresh();
}

void TrendWindow::FollowLive()
{
    m_updating = true;
    for (TrendPane* pane : m_panes)
        pane->Chart()->zoomReset();
    m_updating = false;
    m_following = true;
    Refresh();
}

void TrendWindow::ViewMoved(int pane)
{
    m_following = false;
    m_leader = pane;
    if (m_pause->isChecked()) {
        // The samples stay as they are; the other panes still take the moved time range.
        m_updating = true;
        for (TrendPane* other : m_panes)
            other->SetTimeRange(Pane(pane)->TimeFrom(), Pane(pane)->TimeTo(),
                                WallClockMs(m_recording.PlotStart()));
        m_updating = false;
    }
    Refresh();
}

void TrendWindow::Refresh()
{
    if (m_pause->isChecked())
        return;
    const PlotStore& store = m_recording.Plot();
    double from = store.FirstSeconds();
    double to = store.LastSeconds();
    const int span = m_span->currentIndex();
    if (!m_following) {
        from = Pane(m_leader)->TimeFrom();
        to = Pane(m_leader)->TimeTo();
    } else if (span < static_cast<int>(Span::All)) {
        // Until the run fills the span, the run itself: no sliver at one side.
        from = std::max(from, to - kSpanSeconds[span]);
    }
    if (m_following)
        to = std::max(to, from + 1.0);
    const int columns = std::max(100, static_cast<int>(Chart()->plotArea().width()));
    const int phases = m_recording.Phases();

    std::array<double, 3> low{}, high{};
    low.fill(INFINITY);
    high.fill(-INFINITY);
    for (int curve = 0; curve < PlotStore::kCurves; ++curve) {
        const size_t q = static_cast<size_t>(curve % 3);
        if (curve / 3 >= phases || m_panes[q]->CurveSwitchedOff(curve / 3))
            continue;
        std::vector<QPointF> points = store.Decimated(curve, from, to, columns);
        for (const QPointF& p : points) {
            low[q] = std::min(low[q], p.y());
            high[q] = std::max(high[q], p.y());
        }
        Curve(curve)->replace(QList<QPointF>(points.begin(), points.end()));
    }

    m_updating = true;
    const qint64 wallZeroMs = WallClockMs(m_recording.PlotStart());
    for (size_t q = 0; q < 3; ++q) {
        m_panes[q]->ShowPhases(phases);
        m_panes[q]->SetTimeRange(from, to, wallZeroMs);
        // From zero for values that never go below it, so the curves compare by eye.
        if (m_following)
            m_panes[q]->FitValues(low[q] >= 0.0 ? 0.0 : low[q], high[q]);
    }
    m_updating = false;
}

// The panes' value labels differ in width: each gets the room the widest needs, so the plots
// line up under one another on the shared time axis.
void TrendWindow::AlignPanes()
{
    std::array<double, 3> left{}, right{};
    double maxLeft = 0.0, maxRight = 0.0;
    for (size_t q = 0; q < 3; ++q) {
        const QChart* chart = m_panes[q]->Chart();
        const QRectF plot = chart->plotArea();
        // Not laid out yet, or squeezed to nothing: nothing to line up with.
        if (!(plot.width() > 0.0) || plot.right() > chart->size().width())
            return;
        left[q] = plot.left() - m_panes[q]->LaidOutExtra().left();
        right[q] = chart->size().width() - plot.right() - m_panes[q]->LaidOutExtra().right();
        maxLeft = std::max(maxLeft, left[q]);
        maxRight = std::max(maxRight, right[q]);
    }
    for (size_t q = 0; q < 3; ++q) {
        const double most = m_panes[q]->Chart()->size().width() / 4.0;
        m_panes[q]->SetAlignment(
            static_cast<int>(std::lround(std::min(maxLeft - left[q], most))),
            static_cast<int>(std::lround(std::min(maxRight - right[q], most))));
    }
}

void TrendWindow::ShowReadout(double seconds)
{
    const PlotStore& store = m_recording.Plot();
    const bool shown = !std::isnan(seconds) && store.Size() > 0;
    for (TrendPane* pane : m_panes)
        pane->ShowCursor(shown ? store.SecondsAt(store.Nearest(seconds)) : std::nan(""));
    if (!shown)
        return;
    std::vector<int> curves;
    for (int curve = 0; curve < PlotStore::kCurves; ++curve)
        if (Curve(curve)->isVisible())
            curves.push_back(curve);
    m_readout->setText(TrendReadout(store, m_recording.PlotStart(), seconds, curves));
}

QString TrendWindow::Readout() const { return m_readout->text(); }

QRect TrendWindow::PlaceBeside(const QRect& mainFrame, const QSize& frame, const QSize& minimum,
                               const QRect& available)
{
    // Narrowed to the room on that side, if that leaves it its minimum; a window squeezed
    // below it would read worse than one that covers a part of the main window.
    auto width = [&](int room) {
        return room >= minimum.width() ? std::min(room, frame.width()) : frame.width();
    };
    auto height = [&](int room) {
        return room >= minimum.height() ? std::min(room, frame.height()) : frame.height();
    };
    const int right = width(available.right() - mainFrame.right());
    const int left = width(mainFrame.left() - available.left());
    const int below = height(available.bottom() - mainFrame.bottom());
    const int above = height(mainFrame.top() - available.top());
    // In order of preference: beside it at full size, beside it narrowed, below or above it.
    const QRect candidates[] = {
        {mainFrame.right() + 1, mainFrame.top(), frame.width(), frame.height()},
        {mainFrame.left() - frame.width(), mainFrame.top(), frame.width(), frame.height()},
        {mainFrame.right() + 1, mainFrame.top(), right, frame.height()},
        {mainFrame.left() - left, mainFrame.top(), left, frame.height()},
        {mainFrame.left(), mainFrame.bottom() + 1, frame.width(), below},
        {mainFrame.left(), mainFrame.top() - above, frame.width(), above},
    };
    // The first on the screen that covers none of the main window, else the one that covers
    // the least.
    QRect best;
    qint64 bestCover = -1;
    for (QRect r : candidates) {
        r.setSize(r.size().boundedTo(available.size()));
        r.moveLeft(std::clamp(r.left(), available.left(), available.right() + 1 - r.width()));
        r.moveTop(std::clamp(r.top(), available.top(), available.bottom() + 1 - r.height()));
        const QRect covered = r.intersected(mainFrame);
        const qint64 cover = static_cast<qint64>(covered.width()) * covered.height();
        if (bestCover < 0 || cover < bestCover) {
            best = r;
            bestCover = cover;
        }
    }
    return best;
}

void TrendWindow::ShowBeside(const QWidget& main)
{
    if (!m_placed) {
        const QSize decoration = main.frameGeometry().size() - main.geometry().size();
        const QRect frame = PlaceBeside(main.frameGeometry(), size() + decoration,
                                        minimumSizeHint().expandedTo(minimumSize()) + decoration,
                                        main.screen()->availableGeometry());
        resize(frame.size() - decoration);
        move(frame.topLeft());
        m_placed = true;
    }
    show();
    raise();
    activateWindow();
}

bool TrendWindow::ExportPng(const QString& path) { return m_plots->grab().save(path, "PNG"); }

bool TrendWindow::ExportSvg(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(ChartSvg({m_panes[0]->Chart(), m_panes[1]->Chart(), m_panes[2]->Chart()}));
    return file.commit();
}

void TrendWindow::ExportClick(bool svg)
{
    const QString path = svg ? AskSaveFileName(this, QStringLiteral("SVG Files (*.svg)|*.svg"),
                                               QStringLiteral("trend.svg"))
                             : AskSaveFileName(this, QStringLiteral("PNG Files (*.png)|*.png"),
                                               QStringLiteral("trend.png"));
    if (path.isEmpty())
        return;
    if (!(svg ? ExportSvg(path) : ExportPng(path)))
        ShowOperatorError(this, QStringLiteral("Cannot write %1").arg(path));
}
