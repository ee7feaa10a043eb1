#pragma once

// The control panel on a GPIB link by address (the simulated instrument's, 5), over the
// simulated GPIB library loaded by name; the test ticks the poll cycle itself.
#include "tests/panel/panel_fixture.h"
#include "tests/support/sim_gpib_controls.h"

class GpibPanelFixture : public PanelFixture {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(controls.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
        controls.Reset();
        ASSERT_EQ(state.Link.GpibLib.BindGpibLibrary(), 0);
        CreateWindows();
        state.Link.Settings.IoType = 2;
        state.Link.Settings.GpibAddress = 5;
        state.Link.SerialLink = false;
    }

    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            form->Timer1Timer();
    }

    SimGpibControls controls;
};
