// The trend window on the main window's passes: curves of the connected phases, pause, zoom and
// the way back to live, and its exports.
#include "record/trend_window.h"
#include "tests/panel/panel_fixture.h"

#include <QAbstractAxis>
#include <QChart>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>

namespace {

class TrendWindowTest : public PanelFixture {
protected:
    TrendWindow* OpenTrendAfterPasses(int passes) {
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

TEST_F(TrendWindowTest, CurvesOfTheConnectedPhasePauseZoomAndLive) {
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
    // Every value lies within its axis.
    for (int q = 0; q < 3; ++q) {
        const auto axes = trend->Curve(q)->attachedAxes();
        for (QAbstractAxis* axis : axes)
            if (auto* value = qobject_cast<QValueAxis*>(axis)) {
                EXPECT_LE(value->min(), trend->Curve(q)->points().back().y());
                EXPECT_GE(value->max(), trend->Curve(q)->points().back().y());
            }
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

TEST_F(TrendWindowTest, ExportsPngAndSvg) {
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

} // namespace
