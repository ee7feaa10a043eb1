// Without the NI-488 library the program starts and the GPIB link fails quietly, once.
#include "tests/panel/panel_fixture.h"

#include <QListWidget>

namespace {

// A machine without the NI-488 library, whatever this one has installed.
class GpibAbsentTest : public PanelFixture {
protected:
    GpibAbsentTest() : PanelFixture("libtav-no-such-gpib.so.0") {}
};

} // namespace

TEST_F(GpibAbsentTest, GpibLinkWithoutLibraryStaysQuietAndSafe)
{
    PtyLink com2(sandbox, 2);
    EXPECT_EQ(state.Link.GpibLib.BindGpibLibrary(), -1);
    CreateWindows();
    EXPECT_TRUE(state.Link.ComPort(1).Active()); // the serial side is unaffected
    state.Link.Settings.IoType = 2;
    state.Link.SerialLink = false;
    form->BitBtn7Click();
    form->Timer1()->stop();
    for (int i = 0; i < 30; ++i)
        form->Timer1Timer();
    EXPECT_EQ(tool->ErrBox()->count(), 1);
    EXPECT_EQ(tool->ErrBox()->item(0)->text(), "GPIB library not available");
    EXPECT_LE(state.Link.Gpib.GpibDevice, 0);
    EXPECT_TRUE(messages.isEmpty());
}
