// The service tool's "Trace to file…" starts the program's trace, and ends it again.
#include "service/service_tool.h"
#include "service/trace_button.h"
#include "tests/panel/panel_fixture.h"
#include "widgets/operator_messages.h"

#include <QFile>

namespace {

class TraceButtonTest : public PanelFixture {};

TEST_F(TraceButtonTest, StartsAndStopsTheProgramsTrace)
{
    auto sim = StartSimAndWindows();
    auto* button = tool->findChild<TraceButton*>("TraceButton");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Trace to file\u2026");
    button->Toggle(QString()); // the dialog cancelled
    EXPECT_FALSE(state.Trace.IsOpen());

    const QString path = CwdFile("service.trace");
    button->Toggle(path);
    EXPECT_TRUE(state.Trace.IsOpen());
    EXPECT_EQ(button->text(), "Stop trace");
    ConnectDriven();
    TickThrough(31);
    button->Toggle(QString());
    EXPECT_FALSE(state.Trace.IsOpen());
    EXPECT_EQ(button->text(), "Trace to file\u2026");
    TickThrough(33);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("\tTX\tCOM2\t*idn?\\n\n"));
    EXPECT_TRUE(text.contains("\tRX\tCOM2\t"));
    EXPECT_FALSE(text.contains("*opt?")) << "nothing after the stop";

    button->Toggle(CwdFile("no/such/dir/x.trace"));
    EXPECT_FALSE(state.Trace.IsOpen());
    EXPECT_EQ(messages.size(), 1);
}

} // namespace
