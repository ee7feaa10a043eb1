// The I/O configuration window against the real main window and pseudo-terminal ports.
#include "link/io_config_window.h"
#include "link/link_settings.h"
#include "tests/panel/panel_fixture.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>

namespace {

class IoConfigTest : public PanelFixture {
protected:
    void SetUp() override
    {
        CreateWindows();
        ASSERT_TRUE(state.Link.ComPort(1).Active());
        io = std::make_unique<TForm4>(state.Link, *form, form.get());
    }

    QComboBox* Port() const { return io->findChild<QComboBox*>("ComboBox1"); }
    QLineEdit* IoEdit(const char* name) const { return io->findChild<QLineEdit*>(name); }

    PtyLink com2{sandbox, 2};
    PtyLink com3{sandbox, 3};
    std::unique_ptr<TForm4> io;
};

} // namespace

TEST_F(IoConfigTest, ShowsTheSettingsAsTheyAre)
{
    EXPECT_EQ(io->windowTitle(), "I/O Configuration");
    EXPECT_EQ(Port()->currentText(), "COM2");
    ASSERT_EQ(Port()->count(), 2);
    EXPECT_EQ(Port()->itemText(0), "COM2");
    EXPECT_EQ(Port()->itemText(1), "COM3");
    EXPECT_TRUE(io->findChild<QRadioButton*>("IoType0")->isChecked());
    EXPECT_TRUE(Port()->isEnabled());
    EXPECT_FALSE(IoEdit("Edit1")->isEnabled());
    EXPECT_FALSE(IoEdit("Edit2")->isEnabled());
    EXPECT_EQ(IoEdit("Edit1")->text(), "0");
    EXPECT_EQ(IoEdit("Edit2")->text(), "Device 1");
    EXPECT_FALSE(io->findChild<QComboBox*>("BaudBox")->isEnabled());
    EXPECT_EQ(io->findChild<QComboBox*>("BaudBox")->currentText(), "19200");
}

TEST_F(IoConfigTest, PickingGpibTakesEffectAtOnceButIsNotSavedOnClose)
{
    io->findChild<QRadioButton*>("IoType2")->click();
    EXPECT_FALSE(state.Link.SerialLink);
    EXPECT_EQ(state.Link.Settings.IoType, 2);
    EXPECT_TRUE(IoEdit("Edit1")->isEnabled());
    EXPECT_FALSE(Port()->isEnabled());
    io->findChild<QPushButton*>("CloseButton")->click();
    EXPECT_FALSE(QFile::exists(CwdFile("TAVCON.cfg")));
    EXPECT_FALSE(state.Link.SerialLink);
}

TEST_F(IoConfigTest, PickingAPortWhileConnectedStopsPollingAndReopens)
{
    form->BitBtn7Click();
    ASSERT_TRUE(form->Timer1()->isActive());
    io->ComboBox1Select("COM3");
    EXPECT_FALSE(form->Timer1()->isActive());
    EXPECT_TRUE(Visible("BitBtn7"));
    EXPECT_EQ(state.Panel.DeviceIdent.Identification, "Disconnected");
    EXPECT_EQ(state.Link.Settings.PortText, "3");
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_EQ(state.Link.ComPort(1).Port(), 3);
    const QStringList log = LogLines();
    EXPECT_EQ(log.mid(log.size() - 2), QStringList({"> COM2: port closed", "> COM3: port opened"}));
    state.Link.ComPort(1).WriteText(QByteArray("*idn?\n"));
    EXPECT_EQ(com3.Read(6), "*idn?\n");
}

TEST_F(IoConfigTest, APortThatCannotOpenIsReportedAndLeavesTheOldOneClosed)
{
    Port()->addItem("COM12");
    Port()->setCurrentIndex(2);
    Q_EMIT Port()->activated(2);
    EXPECT_EQ(messages, QStringList{"Cannot open port '\\\\.\\COM12'"});
    EXPECT_EQ(state.Link.Settings.PortText, "12"); // two-digit numbers are taken whole
    EXPECT_FALSE(state.Link.ComPort(1).Active());
}

TEST_F(IoConfigTest, OkWithABadAddressShowsTheErrorAndSavesNothing)
{
    io->findChild<QRadioButton*>("IoType2")->click();
    IoEdit("Edit1")->setText("abc");
    io->findChild<QPushButton*>("OkButton")->click();
    EXPECT_EQ(messages, QStringList{"'abc' ist kein gültiger Integerwert"});
    EXPECT_FALSE(QFile::exists(CwdFile("TAVCON.cfg")));
    EXPECT_EQ(state.Link.Settings.GpibAddress, 0);
    EXPECT_NE(io->result(), QDialog::Accepted);

    IoEdit("Edit1")->setText("7");
    io->findChild<QPushButton*>("OkButton")->click();
    EXPECT_EQ(io->result(), QDialog::Accepted);
    EXPECT_EQ(state.Link.Settings.GpibAddress, 7);
    EXPECT_FALSE(state.Link.ComPort(1).Active());
    LinkSettings saved;
    ReadLinkConfig(CwdFile("TAVCON.cfg"), saved);
    EXPECT_EQ(saved.IoType, 2);
    EXPECT_EQ(saved.GpibAddress, 7);
}

TEST_F(IoConfigTest, DeviceNameGoesToTheMainWindowAndTheFile)
{
    io->findChild<QRadioButton*>("IoType1")->click();
    IoEdit("Edit2")->setText("TAV-PS");
    IoEdit("Edit2")->returnPressed();
    EXPECT_EQ(form->findChild<QLineEdit*>("DeviceName")->text(), "TAV-PS");
    io->OkClick();
    LinkSettings saved;
    ReadLinkConfig(CwdFile("TAVCON.cfg"), saved);
    EXPECT_EQ(saved.IoType, 1);
    EXPECT_EQ(saved.GpibDeviceName, "TAV-PS");
    EXPECT_FALSE(state.Link.ComPort(1).Active());
}

TEST_F(IoConfigTest, OkOnSerialReopensTheConfiguredPort)
{
    state.Link.Settings.PortText = "3";
    io->OkClick();
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_EQ(state.Link.ComPort(1).Port(), 3);
    LinkSettings saved;
    ReadLinkConfig(CwdFile("TAVCON.cfg"), saved);
    EXPECT_EQ(saved.PortText, "3");
    EXPECT_EQ(saved.IoType, 0);
}
