// The picture of the trend window for the user's guide, made by the program itself: the main
// window connected to the instrument on the configured link, the output on and the voltage
// stepped a few times while it polls for about SECONDS (default 20), then "Setup" > "Trend" as the
// operator opens it, grabbed from the screen it is shown on. doc/make-screenshots runs it in a
// virtual X server next to the simulated instrument, also with QT_SCALE_FACTOR=2.
//   tav_trend_shot PICTURE.png [SECONDS]
#include "doc/shots/screen_grab.h"
#include "panel/main_window.h"
#include "program/program_state.h"
#include "record/trend_chart_view.h"
#include "record/trend_pane.h"
#include "record/trend_window.h"
#include "service/service_tool.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QChart>
#include <QEventLoop>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Lets the program run (poll, draw) for a while. A loop of its own: the application's quit would
// close the windows first.
void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fputs("Usage: tav_trend_shot PICTURE.png [SECONDS]\n", stderr);
        return 2;
    }
    const int seconds = argc == 3 ? std::max(12, std::atoi(argv[2])) : 20;
    // A message box would wait for a click no one gives: every message fails the picture.
    bool told = false;
    SetOperatorMessageHook([&told](const QString& text) {
        std::fprintf(stderr, "tav_trend_shot: %s\n", qPrintable(text));
        told = true;
    });
    ProgramState state;
    PanelWindows windows;
    TForm5 tool(state.Link, state.Trace);
    TForm1 form(state.Link, state.Panel, state.Places, state.Test.Stopwatch, tool, windows);
    if (!state.Link.SerialLink || !state.Link.ComPort(1).Active()) {
        std::fprintf(stderr, "tav_trend_shot: no instrument on COM%s\n",
                     qPrintable(state.Link.Settings.PortText));
        return 1;
    }
    // At the screen's top left corner, where a desktop puts a first window; the virtual X
    // server has no window manager to do it and Qt would centre the window.
    form.move(form.screen()->availableGeometry().topLeft());
    form.show();
    form.BitBtn7Click(); // Connect
    // The cycle sends one operator's command per pass (under 2 s): each gets 2.5 s to go out.
    // Four settings in turn, so each curve has steps to show.
    const QByteArray volts[] = {"230", "120", "200", "160"};
    for (const QByteArray& v : volts) {
        form.Cycle().OperatorCommand.Post("SOUR:VOLTAC," + v + "\n");
        RunFor(2500);
        if (&v == &volts[0])
            form.Cycle().OperatorCommand.Post("OUTP,1\n");
        RunFor(seconds * 1000 / 4 - 2500);
    }
    form.Trend1Click();
    RunFor(1500); // two refreshes, painted and on the screen
    TrendWindow* trend = form.Trend();
    if (told || !trend || !trend->isVisible()) {
        std::fputs("tav_trend_shot: the trend did not show\n", stderr);
        return 1;
    }
    // The mouse over the lowest plot, two thirds along: the readout under the plots shows the
    // values there.
    QChartView* view = trend->Pane(2)->View();
    const QRectF plot = view->chart()->plotArea();
    const QPoint at = view->mapFromScene(
        view->chart()->mapToScene(QPointF(plot.left() + plot.width() * 2 / 3, plot.center().y())));
    QMouseEvent move(QEvent::MouseMove, at, view->viewport()->mapToGlobal(at), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    RunFor(200);
    if (!SaveWindowShot(*trend, QString::fromLocal8Bit(argv[1]), false)) {
        std::fprintf(stderr, "tav_trend_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
