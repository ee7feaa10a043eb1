// The trend window on the main window's passes: curves of the connected phases, pause, zoom and
// the way back to live, and its exports.
#include "record/measurement_recording.h"
#include "record/trend_chart_view.h"
#include "record/trend_pane.h"
#include "record/trend_window.h"
#include "tests/panel/panel_fixture.h"

#include <QAbstractAxis>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>
#include <cmath>

namespace {

class TrendWindowTest : public PanelFixture {
protected:
    TrendWindow* OpenTrendAfterPasses(int passes)
    {
        ConnectDriven();
        form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
        TickThrough(29);
        form->Cycle().OperatorCommand.Post("OUTP,1\n");
        TickThrough(29);
        for (int i = 0; i < passes; ++i)
            TickThrough(28);
        form->Trend1Click();
        TrendWindow* trend = form->Trend();
        trend->TrendTimer()->stop(); // the test redraws
        trend->Refresh();
        return trend;
    }
};

TEST_F(TrendWindowTest, CurvesOfTheConnectedPhasePauseZoomAndLive)
{
    auto sim = StartSimAndWindows();
    TrendWindow* trend = OpenTrendAfterPasses(3);
    ASSERT_NE(trend, nullptr);
    EXPECT_EQ(trend->windowTitle(), "Trend");
    // The whole run: a second or so, where every pass has a column of its own.
    trend->SetSpan(TrendWindow::Span::All);
    for (int curve = 0; curve < 3; ++curve) {
        EXPECT_TRUE(trend->Curve(curve)->isVisible());
        EXPECT_GE(trend->Curve(curve)->count(), 2) << curve;
    }
    for (int curve = 3; curve < 9; ++curve)
        EXPECT_FALSE(trend->Curve(curve)->isVisible()) << "single-phase instrument";
    // The last sample of each curve is the last pass: 230 V on 50 ohm at 30 degrees, whose
    // active power is the curve, not the 1058 VA.
    EXPECT_DOUBLE_EQ(trend->Curve(0)->points().back().y(), 230.0f);
    EXPECT_NEAR(trend->Curve(1)->points().back().y(), 4.6, 1e-4);
    EXPECT_NEAR(trend->Curve(2)->points().back().y(), 916.3, 1e-3);
    // Every value lies within its pane's axis, whose ticks start on a whole step.
    for (int q = 0; q < 3; ++q) {
        const QValueAxis* value = trend->Pane(q)->ValueAxis();
        EXPECT_LE(value->min(), trend->Curve(q)->points().back().y());
        EXPECT_GE(value->max(), trend->Curve(q)->points().back().y());
        EXPECT_NEAR(std::remainder(value->min(), value->tickInterval()), 0.0, 1e-9) << q;
    }
    // Ten minutes of view on a second of run: the time axis holds the run, not a sliver of it,
    // the same in every pane.
    trend->SetSpan(TrendWindow::Span::TenMinutes);
    const PlotStore& store = form->Recording().Plot();
    for (int q = 0; q < 3; ++q) {
        EXPECT_NEAR(trend->Pane(q)->TimeFrom(), store.FirstSeconds(), 1e-6) << q;
        EXPECT_NEAR(trend->Pane(q)->TimeTo(),
                    std::max(store.LastSeconds(), store.FirstSeconds() + 1.0), 1e-6)
            << q;
    }

    // Paused: new passes do not show.
    const int before = trend->Curve(0)->count();
    trend->SetPaused(true);
    form->Cycle().OperatorCommand.Post("SOUR:VOLTAC,100\n");
    TickThrough(29);
    TickThrough(28);
    TickThrough(28);
    trend->Refresh();
    EXPECT_EQ(trend->Curve(0)->count(), before);
    trend->SetPaused(false);
    EXPECT_DOUBLE_EQ(trend->Curve(0)->points().back().y(), 100.0);

    // Zooming leaves the live view; "Live" comes back to it.
    trend->Chart()->zoom(2.0);
    EXPECT_FALSE(trend->Following());
    trend->FollowLive();
    EXPECT_TRUE(trend->Following());
    trend->SetSpan(TrendWindow::Span::OneMinute);
    EXPECT_EQ(trend->findChild<QComboBox*>("TrendSpan")->currentText(), "1 min");
    EXPECT_TRUE(trend->Following());
}

TEST_F(TrendWindowTest, ExportsPngAndSvg)
{
    auto sim = StartSimAndWindows();
    TrendWindow* trend = OpenTrendAfterPasses(2);
    trend->show();
    const QString png = CwdFile("trend.png");
    const QString svg = CwdFile("trend.svg");
    ASSERT_TRUE(trend->ExportPng(png));
    ASSERT_TRUE(trend->ExportSvg(svg));
    QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 100);
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("<?xml"));
    EXPECT_EQ(text.count("<polyline"), 3) << "the curves of phase 1";
    for (const char* title : {"U [V]", "I [A]", "P [W]", "Time", "U1 [V]"})
        EXPECT_TRUE(text.contains(title)) << title;
    EXPECT_TRUE(text.endsWith("</svg>\n"));
    EXPECT_FALSE(trend->ExportSvg(CwdFile("no/such/dir/t.svg")));
}

TEST_F(TrendWindowTest, LegendSwitchesCurvesAndTheMouseReadsTheirValues)
{
    auto sim = StartSimAndWindows();
    TrendWindow* trend = OpenTrendAfterPasses(2);
    trend->show();
    QApplication::processEvents();
    TrendPane* pane = trend->Pane(1);
    QChart* chart = pane->Chart();
    QLegendMarker* marker = chart->legend()->markers(trend->Curve(1)).value(0);
    ASSERT_NE(marker, nullptr);
    // A click on the current's legend entry, twice: off and greyed, then on again. A refresh
    // between keeps the operator's choice.
    for (const bool on : {false, true}) {
        QApplication::processEvents();
        const QPoint entry =
            pane->View()->mapFromScene(chart->mapToScene(chart->legend()->geometry().center()));
        QTest::mouseClick(pane->View()->viewport(), Qt::LeftButton, {}, entry);
        trend->Refresh();
        EXPECT_EQ(trend->Curve(1)->isVisible(), on);
        EXPECT_TRUE(marker->isVisible()) << "the entry stays, to switch the curve on again";
        EXPECT_EQ(marker->labelBrush().color() == QColor(Qt::gray), !on);
        EXPECT_TRUE(trend->Curve(0)->isVisible());
        EXPECT_FALSE(trend->Curve(4)->isVisible()) << "no phase 2";

        // The mouse at the plot's right end, past the newest sample: its time and the values
        // of the curves shown.
        TrendPane* lowest = trend->Pane(2);
        const QRectF plot = lowest->Chart()->plotArea();
        const QPoint at = lowest->View()->mapFromScene(
            lowest->Chart()->mapToScene(QPointF(plot.right() - 1, plot.center().y())));
        QTest::mouseMove(lowest->View()->viewport(), at - QPoint(0, 10 + (on ? 5 : 0)));
        QTest::mouseMove(lowest->View()->viewport(), at);
        const PlotStore& store = form->Recording().Plot();
        const QString time = form->Recording()
                                 .PlotStart()
                                 .addMSecs(std::llround(store.LastSeconds() * 1000.0))
                                 .toString("HH:mm:ss.zzz");
        const QString want = on ? time + "   U1 230.0 V   I1 4.600 A   P1 916.3 W"
                                : time + "   U1 230.0 V   P1 916.3 W";
        EXPECT_EQ(trend->Readout().toStdString(), want.toStdString());
    }
}

// Where the trend window (700 x 600, at least 400 x 300) opens beside the main window, on a
// screen of 1280 x 1024 with a panel of 32 pixels at its top.
TEST(TrendPlacement, BesideTheMainWindowOnTheScreen)
{
    const QRect screen(0, 32, 1280, 992);
    struct Case {
        const char* what;
        QRect main;
        QSize trend;
        QRect at;
    };
    const Case cases[] = {
        {"right of it", {100, 100, 400, 500}, {700, 600}, {500, 100, 700, 600}},
        {"left of it, no room on the right", {700, 100, 400, 500}, {700, 600}, {0, 100, 700, 600}},
        {"right of it, up onto the screen", {100, 600, 400, 300}, {700, 600}, {500, 424, 700, 600}},
        {"down from the panel", {100, 0, 400, 500}, {700, 600}, {500, 32, 700, 600}},
        {"narrowed to the room on the right",
         {300, 100, 500, 500},
         {700, 600},
         {800, 100, 480, 600}},
        {"narrowed, wider than the screen",
         {200, 100, 300, 300},
         {1400, 600},
         {500, 100, 780, 600}},
        {"below it, no room beside", {200, 100, 880, 300}, {700, 600}, {200, 400, 700, 600}},
        {"covering least of a large one", {200, 40, 880, 960}, {700, 600}, {580, 40, 700, 600}},
        {"narrowed to the room on the left", {500, 40, 700, 960}, {700, 600}, {0, 40, 500, 600}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrendWindow::PlaceBeside(c.main, c.trend, {400, 300}, screen), c.at) << c.what;
}

} // namespace
