// What the identification and options replies decide.
#include "panel/device_info_window.h"
#include "replies/identification.h"
#include "tests/panel/panel_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QTimer>

namespace {

class IdentificationTest : public PanelFixture {
protected:
    void SetUp() override { CreateWindows(); }
};

} // namespace

TEST_F(IdentificationTest, FourFieldsWithAMarkedRevision)
{
    Reply(31, "KELM Electronic GmbH,TAV-0400-PS,1234,V1.23E\r\n");
    const DeviceIdentType& id = state.Panel.DeviceIdent;
    EXPECT_EQ(id.Identification, "KELM Electronic GmbH,TAV-0400-PS,1234,V1.23E");
    EXPECT_EQ(id.Manufacturer, "KELM Electronic GmbH");
    EXPECT_EQ(id.Model, "TAV-0400-PS");
    EXPECT_EQ(id.SerialNumber, "1234");
    EXPECT_EQ(id.Revision, "V1.23E");
    EXPECT_EQ(form->Cycle().CycleBase, 1);
    EXPECT_EQ(tool->FieldText("Edit1"), "V1.23E");
    EXPECT_EQ(tool->FieldText("Edit2"), "   1");
    EXPECT_EQ(tool->FieldText("Label17"), "21");
    EXPECT_EQ(tool->FieldText("Label18"), "33");
    EXPECT_EQ(tool->FieldText("Label19"), "38");
    EXPECT_EQ(tool->FieldText("Label20"), "0");
    EXPECT_EQ(tool->FieldText("Label22"), "TAV-0400-PS");
    EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "TAV-0400-PS");
}

TEST_F(IdentificationTest, RevisionMarkersDecideTheCycleBase)
{
    Reply(31, "KELM,TAV-0400-PS,1234,V1.23E");
    Reply(31, "KELM,TAV-0400-PS,1234,V2.00");
    EXPECT_EQ(form->Cycle().CycleBase, 0);
    EXPECT_EQ(tool->FieldText("Edit1"), "Rev ID = Nil");
    EXPECT_EQ(tool->FieldText("Edit2"), "   0");
    // V1.21 is marked, but the table's last entries decide what the service tool shows.
    Reply(31, "KELM,TAV-0400-PS,1234,V1.21");
    EXPECT_EQ(form->Cycle().CycleBase, 1);
    EXPECT_EQ(tool->FieldText("Edit1"), "Rev ID = Nil");
}

TEST_F(IdentificationTest, ReplyWithoutCommas)
{
    const QString reply = QString(60, QLatin1Char('x'));
    Reply(31, reply);
    EXPECT_EQ(state.Panel.DeviceIdent.Manufacturer, "");
    EXPECT_EQ(state.Panel.DeviceIdent.Model, "");
    EXPECT_EQ(state.Panel.DeviceIdent.SerialNumber, "");
    EXPECT_EQ(state.Panel.DeviceIdent.Revision, reply.left(49));
    const IdentificationReading r = ReadIdentification("a,b");
    EXPECT_EQ(r.Manufacturer, "a");
    EXPECT_EQ(r.Model, ""); // its closing comma is missing
    EXPECT_EQ(r.Revision, "a,b");
}

TEST_F(IdentificationTest, OptionsSwitchLayoutAndShowOptionButtons)
{
    Reply(32, "3P CR2 OT1\r\n");
    EXPECT_EQ(state.Panel.DeviceIdent.Options, "3P CR2 OT1");
    EXPECT_EQ(form->Cycle().MeasEnd, 23);
    EXPECT_EQ(form->Cycle().SetEnd, 58);
    EXPECT_TRUE(Edit("Edit24")->isEnabled());
    EXPECT_TRUE(Visible("IrmsX10Button"));
    EXPECT_FALSE(Visible("IrmsX1Button"));
    EXPECT_TRUE(Visible("Ot1OffButton"));
    EXPECT_FALSE(Visible("Ot1OnButton"));
    EXPECT_EQ(tool->FieldText("Edit57"), "3P CR2 OT1");
    EXPECT_EQ(tool->FieldText("Edit2"), "CR2 OT1");

    // No marker at all: single phase, buttons as they were.
    Reply(32, "HV F1\r\n");
    EXPECT_EQ(form->Cycle().MeasEnd, 9);
    EXPECT_FALSE(Edit("Edit24")->isEnabled());
    EXPECT_TRUE(Visible("IrmsX10Button"));
    EXPECT_EQ(tool->FieldText("Edit57"), "Triple ID = Nil");
    EXPECT_EQ(tool->FieldText("Edit2"), "Opt-All ID = Nil");
}

TEST_F(IdentificationTest, OptionWithoutMarkersLeavesHiddenButtonsHidden)
{
    Reply(32, "OT1");
    EXPECT_FALSE(Visible("IrmsX10Button"));
    EXPECT_TRUE(Visible("Ot1OffButton"));
    EXPECT_EQ(tool->FieldText("Edit2"), "Opt-All ID = Nil"); // the last entry is CR2
}

TEST_F(IdentificationTest, DisconnectResetsIdentityAndDeviceInfoShowsIt)
{
    Reply(31, "KELM Electronic GmbH,TAV-0800-PS,0505000120,V2.00");
    Reply(32, "CR2");
    QString model;
    QTimer::singleShot(0, [&] {
        if (auto* w = qobject_cast<TForm3*>(QApplication::activeModalWidget())) {
            w->repaint();
            model = w->findChild<QLabel*>("ModelValue")->text();
            EXPECT_EQ(w->windowTitle(), "Device Info");
            EXPECT_EQ(w->findChild<QLabel*>("OptionsValue")->text(), "CR2");
            w->close();
        }
    });
    form->Device1Click();
    EXPECT_EQ(model, "TAV-0800-PS");
    form->BitBtn8Click();
    EXPECT_EQ(state.Panel.DeviceIdent.Identification, "Disconnected");
    EXPECT_EQ(state.Panel.DeviceIdent.Model, "---");
    EXPECT_EQ(tool->FieldText("Label24"), "---");
    EXPECT_EQ(form->findChild<QLabel*>("Label15")->text(), "---");
    // A run after the disconnect (the test window disconnects) still names the instrument.
    EXPECT_EQ(RecordedIdentification(state.Panel),
              "KELM Electronic GmbH,TAV-0800-PS,0505000120,V2.00");
}
