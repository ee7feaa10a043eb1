// Start-up from a saved TAVCON.cfg, and the settings' way from one run through closing into the
// next.
#include "tests/panel/panel_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/link_record.h"

#include <QTimer>

namespace {

class SavedConfigTest : public PanelFixture {
protected:
    void SaveConfig(const QByteArray& record)
    {
        ASSERT_TRUE(WriteFileBytes(CwdFile("TAVCON.cfg"), record));
    }

    PtyLink com2{sandbox, 2};
    PtyLink com3{sandbox, 3};
};

} // namespace

TEST_F(SavedConfigTest, StartsOnTheSavedPortAndPollsThere)
{
    SaveConfig(LinkRecord(3, 0, 0, 0, "Device 1"));
    CreateWindows();
    EXPECT_EQ(LogLines(), QStringList({"> COM2: port found - Ports: 2",
                                       "> COM3: port found - Ports: 2", "> COM3: port opend"}));
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_TRUE(Visible("BitBtn7")); // opened, but nothing polled before Connect
    ConnectDriven();
    form->Timer1Timer();
    EXPECT_EQ(com3.ReadLines(1), "*idn?\n");
    EXPECT_EQ(com2.Read(1, 50), ""); // the default port is left alone
}

TEST_F(SavedConfigTest, WhatOneRunSavesAtCloseTheNextStartsWith)
{
    CreateWindows();
    state.Link.Settings.PortText = "3";
    state.Link.Settings.GpibAddress = 7;
    state.Link.Settings.GpibDeviceName = "TAV-PS";
    form->close();
    const QByteArray saved = ReadFileBytes(CwdFile("TAVCON.cfg"));
    EXPECT_EQ(saved, LinkRecord(3, 0, 0, 7, "TAV-PS"));
    form.reset();
    tool.reset();

    ProgramState next;
    TForm5 nextTool(next.Link, next.Trace);
    {
        TForm1 nextForm(next.Link, next.Panel, next.Places, next.Test.Stopwatch, nextTool, windows);
        EXPECT_TRUE(next.Link.ComPort(1).Active());
        EXPECT_EQ(next.Link.ComPort(1).Port(), 3);
        EXPECT_EQ(next.Link.Settings.GpibAddress, 7);
        EXPECT_EQ(nextForm.findChild<QLineEdit*>("DeviceName")->text(), "TAV-PS");
        nextForm.close();
    }
    // Nothing was changed: the second run writes back the very bytes it read.
    EXPECT_EQ(ReadFileBytes(CwdFile("TAVCON.cfg")), saved);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SavedConfigTest, FailedWriteAtCloseIsToldAndKeepsTheSavedFile)
{
    const QByteArray record = LinkRecord(3, 0, 0, 0, "Device 1");
    SaveConfig(record);
    CreateWindows();
    state.Link.Settings.PortText = "2";
    {
        FileSizeLimit limit(10);
        ASSERT_TRUE(limit.Active());
        form->close();
    }
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("TAVCON.cfg"));
    EXPECT_EQ(ReadFileBytes(CwdFile("TAVCON.cfg")), record);
}
