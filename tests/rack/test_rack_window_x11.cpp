// The rack window on a real X server: the report under the slot grid shows the chosen slot's
// rows on the screen at every change of selection, by mouse or arrow key, not only in its model.
#include "tests/rack/rack_window_fixture.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWindow>

namespace {

using RackWindowScreen = RackWindowFixture;

// Pixels of the report's red "Error!" mark in what the X server shows of the report.
int RedPixels(QWidget* report)
{
    QApplication::processEvents();
    const QPoint origin = report->mapToGlobal(QPoint(0, 0));
    const QImage shot =
        report->screen()
            ->grabWindow(0, origin.x(), origin.y(), report->width(), report->height())
            .toImage();
    int red = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
        }
    return red;
}

TEST_F(RackWindowScreen, TheReportShownIsTheChosenSlotsAtEveryChange)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    auto good = Sim(3);
    auto heavy = Sim(4, {"--load-ohm", "48"});
    window->SetTable(WriteTable(kCurrentRows));
    Type(0, RackWindow::kPort, "COM3");
    Type(1, RackWindow::kPort, "COM4");
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return window->windowHandle()->isExposed(); }));
    StartAndWait();
    auto* report = window->findChild<QWidget*>("SlotReport");
    ASSERT_NE(report, nullptr);

    grid->setFocus();
    grid->setCurrentCell(0, RackWindow::kState);
    // The screen shows it once the X server has drawn what the program sent (a loaded machine
    // takes its time); a report not drawn anew never shows it.
    const auto shows = [&](bool failed) {
        return WaitUntil([&] { return (RedPixels(report) > 10) == failed; }, 3000);
    };
    EXPECT_TRUE(shows(false)) << "the passed slot's report";
    for (int change = 0; change < 10; ++change) {
        SCOPED_TRACE(change);
        const bool toFailed = change % 2 == 0;
        if (change < 6)
            QTest::keyClick(grid, toFailed ? Qt::Key_Down : Qt::Key_Up);
        else
            QTest::mouseClick(
                grid->viewport(), Qt::LeftButton, {},
                grid->visualRect(grid->model()->index(toFailed ? 1 : 0, RackWindow::kState))
                    .center());
        ASSERT_EQ(grid->currentRow(), toFailed ? 1 : 0);
        EXPECT_TRUE(shows(toFailed)) << (toFailed ? "the failed slot's Error! on the screen"
                                                  : "the passed slot's report on the screen");
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv); // on the X server xvfb-run started
    QApplication::setApplicationName(QStringLiteral("TAV Control"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
