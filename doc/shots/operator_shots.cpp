// Pictures of what an operator sees, taken by the program itself from the screen of the X
// server it runs on: the main window before it connects and while it polls the instrument, the
// test window running, held at a PAUSE row and finished, and the main window after the test
// window had the link. doc/make-screenshots runs it in a virtual X server next to the
// simulated instrument, once as is and once at twice the scale.
//   tav_operator_shots FOLDER
#include "autotest/table_window.h"
#include "doc/shots/screen_grab.h"
#include "panel/main_window.h"
#include "program/program_state.h"
#include "sequence/grid_widget.h"
#include "service/service_tool.h"
#include "widgets/operator_messages.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <cstdio>
#include <functional>

namespace {

QString g_folder;
int g_failures = 0;

void Shot(QWidget& window, const char* name)
{
    const QString path = QDir(g_folder).filePath(QString::fromLatin1(name) + ".png");
    if (SaveWindowShot(window, path)) {
        std::printf("%s\n", qPrintable(path));
        return;
    }
    std::fprintf(stderr, "tav_operator_shots: cannot write %s\n", qPrintable(path));
    ++g_failures;
}

bool WaitFor(const std::function<bool()>& condition, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!condition() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

// Set 230 V and the output on, a step held for the operator, two readings that take their
// time, one that fails, and the end.
void PutTable(StepGrid& table)
{
    const QList<QStringList> rows = {
        {"00.00.00.100", "SOUR:VOLTAC,230", "0", "0", "0", "", "", "Set 230 V", "1"},
        {"00.00.00.200", "OUTP,1", "0", "0", "0", "", "", "Output on", "1"},
        {"00.00.00.100", "PAUSE", "0", "0", "0", "", "", "Connect the load, then Continue", "1"},
        {"00.00.03.000", "MEAS:VOLT?", "0", "0", "0", "225", "235", "Voltage", "1"},
        {"00.00.00.500", "MEAS:CURR?", "0", "0", "0", "4.5", "4.7", "Current", "1"},
        {"00.00.00.500", "MEAS:POW?", "0", "0", "0", "1000", "1100", "Power", "1"},
        {"00.00.00.100", "END", "0", "0", "0", "", "", "", "1"},
    };
    for (int r = 0; r < rows.size(); ++r)
        table.SetRow(r + 1, QStringList{QString::number(r + 1)} + rows[r]);
}

QString StateText(TForm6& test) { return test.findChild<QLabel*>("RunStateLabel")->text(); }

void ShootTestWindow(TForm6& test)
{
    PutTable(*test.Grid());
    test.resize(test.width(), 900);
    test.Button3Click();
    if (!WaitFor([&] { return StateText(test).startsWith("Paused"); }, 20000))
        ++g_failures;
    Shot(test, "test-paused");
    test.Button6Click();
    if (!WaitFor([&] { return StateText(test).startsWith("Waiting"); }, 20000))
        ++g_failures;
    Shot(test, "test-running");
    if (!WaitFor([&] { return StateText(test).startsWith("Finished"); }, 60000))
        ++g_failures;
    Shot(test, "test-finished");
    test.reject();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("Usage: tav_operator_shots FOLDER\n", stderr);
        return 2;
    }
    g_folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_folder);
    // A message box would wait for a click no one gives: every message fails the pictures.
    SetOperatorMessageHook([](const QString& text) {
        std::fprintf(stderr, "tav_operator_shots: %s\n", qPrintable(text));
        ++g_failures;
    });

    ProgramState state;
    PanelWindows windows;
    windows.Test.SetFactory([&state](QWidget* p) {
        auto* test = new TForm6(state.Link, state.Places, state.Test, state.Export, p);
        QTimer::singleShot(500, test, [test] { ShootTestWindow(*test); });
        return test;
    });
    TForm5 tool(state.Link, state.Trace);
    TForm1 form(state.Link, state.Panel, state.Places, state.Test.Stopwatch, tool, windows);
    form.move(20, 20);
    form.show();
    Shot(form, "main-disconnected");

    form.BitBtn7Click();
    if (!WaitFor([&] { return form.findChild<QLineEdit*>("Edit15")->text() == "16.00000"; }, 10000))
        ++g_failures;
    form.Cycle().OperatorCommand.Post("SOUR:VOLTAC,230\n");
    Settle(1500);
    form.OutputOffClick(); // the visible "Output OFF" asks for the output on
    Settle(3000);
    Shot(form, "main-connected");

    form.Start1Click();
    Settle(500);
    Shot(form, "main-after-test");
    return g_failures == 0 ? 0 : 1;
}
