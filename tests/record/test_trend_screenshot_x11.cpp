// The trend window as a real X server shows it, against the simulated instrument: a screenshot
// holds the three curves in their colours, each inside its pane, and the axes carry their units.
#include "record/trend_chart_view.h"
#include "record/trend_pane.h"
#include "record/trend_window.h"
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QImage>
#include <QLineSeries>
#include <QScreen>
#include <QWindow>

namespace {

class TrendScreenshot : public PanelFixture {};

int PixelsNear(const QImage& image, const QRect& area, QColor color)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                    std::abs(c.blue() - color.blue()) <
                40)
                ++n;
        }
    return n;
}

TEST_F(TrendScreenshot, ThreeCurvesWithAxesAndUnits)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    auto sim = StartSimAndWindows();
    ConnectDriven();
    // Values that change from pass to pass, so each curve is a line across the plot.
    for (int volts : {50, 120, 230, 180}) {
        form->Cycle().OperatorCommand.Post("SOUR:VOLTAC," + QByteArray::number(volts) + "\n");
        TickThrough(29);
        form->Cycle().OperatorCommand.Post("OUTP,1\n");
        TickThrough(29);
        TickThrough(28);
    }
    form->Trend1Click();
    TrendWindow* trend = form->Trend();
    trend->TrendTimer()->stop();
    trend->SetSpan(TrendWindow::Span::All);
    ASSERT_TRUE(
        WaitUntil([&] { return trend->isVisible() && trend->windowHandle()->isExposed(); }));
    trend->Refresh();
    QApplication::processEvents();

    // What the X server has on screen, not what the widget would paint.
    const QImage shot = trend->screen()->grabWindow(trend->winId()).toImage();
    ASSERT_FALSE(shot.isNull());
    QStringList titles;
    for (int curve = 0; curve < 3; ++curve) {
        // Each quantity in its own pane.
        TrendPane* pane = trend->Pane(curve);
        const QPoint origin = pane->View()->mapTo(trend, QPoint(0, 0));
        const QRect area =
            pane->Chart()->plotArea().toRect().translated(origin).intersected(shot.rect());
        ASSERT_GT(area.width(), 100);
        QLineSeries* series = trend->Curve(curve);
        ASSERT_TRUE(series->isVisible());
        EXPECT_GT(PixelsNear(shot, area, series->pen().color()), 20)
            << series->name().toStdString() << " not drawn";
        for (QAbstractAxis* axis : pane->Chart()->axes())
            if (axis->isVisible() && axis->isTitleVisible())
                titles << axis->titleText();
    }
    for (const char* title : {"Time", "U [V]", "I [A]", "P [W]"})
        EXPECT_TRUE(titles.contains(title)) << title;
    // For a look by eye: TAV_TREND_SCREENSHOT=file.png keeps the screenshot.
    if (const QString keep = qEnvironmentVariable("TAV_TREND_SCREENSHOT"); !keep.isEmpty())
        shot.save(keep);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // on the X server xvfb-run started
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
