// Start-up from a TAVCON.cfg that names a GPIB link, over the simulated GPIB library.
#include "tests/panel/panel_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/link_record.h"
#include "tests/support/sim_gpib_controls.h"

#include <QLabel>

using GpibStartUpTest = PanelFixture;

TEST_F(GpibStartUpTest, SavedGpibLinkOpensNoSerialPortAndConnectPollsTheSavedDevice)
{
    SimGpibControls controls;
    ASSERT_TRUE(controls.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
    ASSERT_EQ(state.Link.GpibLib.BindGpibLibrary(), 0);
    PtyLink com2(sandbox, 2);
    const struct {
        QByteArray record;
        const char* lookup; // the first call Connect makes
    } cases[] = {
        {LinkRecord(2, 0, 2, 5, "Device 1"), "ibdev(0,5,0,13,1,0)"},
        {LinkRecord(2, 0, 1, 9, "TAV-PS"), "ibfind(\"TAV-PS\")"},
    };
    for (const auto& c : cases) {
        controls.Reset();
        state.Link.Gpib.ForgetGpibDevice();
        ASSERT_TRUE(WriteFileBytes(CwdFile("TAVCON.cfg"), c.record));
        CreateWindows();
        EXPECT_FALSE(state.Link.SerialLink) << c.lookup;
        EXPECT_FALSE(state.Link.ComPort(1).Active()) << c.lookup;
        EXPECT_EQ(LogLines(), QStringList{"> COM2: port found - Ports: 1"}) << c.lookup;
        ConnectDriven();
        EXPECT_EQ(controls.CallLog().value(0), c.lookup);
        Tick();
        EXPECT_EQ(controls.Writes(), QList<QByteArray>{"*idn?\n"}) << c.lookup;
        Tick();
        EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "TAV-1600-PS") << c.lookup;
        form->close();
        EXPECT_EQ(ReadFileBytes(CwdFile("TAVCON.cfg")), c.record) << c.lookup;
        form.reset();
        tool.reset();
    }
    EXPECT_TRUE(messages.isEmpty());
}
