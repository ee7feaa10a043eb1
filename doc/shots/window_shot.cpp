// The picture of the test window for the user's guide, made by the program itself: the window as
// TAV Control shows it, with a test table opened and run to its end row against the instrument
// on the configured link, grabbed from the screen it is shown on. doc/make-screenshots runs it in
// a virtual X server next to the simulated instrument.
//   tav_window_shot TABLE.tst PICTURE.png
#include "autotest/table_window.h"
#include "doc/shots/screen_grab.h"
#include "panel/program_start.h"
#include "program/program_state.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("Usage: tav_window_shot TABLE.tst PICTURE.png\n", stderr);
        return 2;
    }
    // A message box would wait for a click no one gives: every message fails the picture.
    bool told = false;
    SetOperatorMessageHook([&told](const QString& text) {
        std::fprintf(stderr, "tav_window_shot: %s\n", qPrintable(text));
        told = true;
    });
    ProgramState state;
    StartProgramState(state.Link, state.Panel, state.Places, [](TCiaComPort*, int) {});
    if (!state.Link.SerialLink || !state.Link.ComPort(1).Active()) {
        std::fprintf(stderr, "tav_window_shot: no instrument on COM%s\n",
                     qPrintable(state.Link.Settings.PortText));
        return 1;
    }
    TForm6 window(state.Link, state.Places, state.Test, state.Export);
    window.OpenTest(QString::fromLocal8Bit(argv[1]));
    // A little taller than it opens, as an operator would pull it, so the report shows whole.
    window.resize(window.width(), 940);
    window.show();
    window.Button3Click();
    // The run ends at its end row, when the window's timer stops.
    const QDeadlineTimer deadline(120000);
    while (window.Timer1()->isActive() && !deadline.hasExpired() && !told)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (window.Timer1()->isActive() || told) {
        std::fputs("tav_window_shot: the table did not run to its end\n", stderr);
        return 1;
    }
    if (!SaveWindowShot(window, QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "tav_window_shot: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
