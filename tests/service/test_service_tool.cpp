// The service tool window: its controls, the free command line on a pseudo-terminal, and the
// model configuration written into the simulated instrument.
#include "tests/panel/panel_fixture.h"
#include "tests/support/qt_wait.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTest>

namespace {

class ServiceTool : public PanelFixture {
protected:
    template <typename T> T* Find(const QString& name) const
    {
        T* w = tool->findChild<T*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    QPushButton* ToolButton(const QString& name) const { return Find<QPushButton>(name); }
    QComboBox* Model() const { return Find<QComboBox>("ComboBox1"); }
    QLineEdit* Command() const { return Find<QLineEdit>("CommandEdit"); }
    // Checks the radio button with this caption in the group of this name.
    void Pick(const QString& group, const QString& item) const
    {
        for (auto* b : Find<QGroupBox>(group)->findChildren<QRadioButton*>())
            if (b->text() == item) {
                b->click();
                return;
            }
        ADD_FAILURE() << "no " << item.toStdString() << " in " << group.toStdString();
    }
    QStringList Received(const TavsimProcess& sim) const
    {
        QStringList lines;
        for (const auto& l : sim.Received())
            lines.append(l.line);
        return lines;
    }
    // Opens CiaComPort1 on a pseudo-terminal, as the program opens the instrument's port.
    void OpenPortOn(int port)
    {
        state.Link.ComPort(1).SetPort(port);
        state.Link.ComPort(1).SetActive(true);
        ASSERT_TRUE(state.Link.ComPort(1).Active());
    }
};

TEST_F(ServiceTool, StartsWithTheFirstItemsAndReadsTheSelectionsFromItsControls)
{
    CreateWindows();
    EXPECT_EQ(tool->windowTitle(), "Tool");
    EXPECT_TRUE(tool->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Model()->currentText(), "TAV-0400-PS");
    EXPECT_EQ(Model()->count(), 6);
    EXPECT_EQ(Command()->text(), "*idn?");
    const ConfigSelection first = tool->Selection();
    EXPECT_EQ(first.Model, "TAV-0400-PS");
    EXPECT_EQ(std::tie(first.Voltage, first.Frequency, first.Option), std::tuple(0, 0, 0));
    EXPECT_FALSE(tool->Timer1()->isActive());

    Pick("RadioGroup1", "XHV / 700 Vrms");
    Pick("RadioGroup2", "F1 / 1000 Hz");
    Pick("RadioGroup3", "BDG");
    Model()->setCurrentText("TAV-9000-PS"); // typed, as an operator may
    const ConfigSelection picked = tool->Selection();
    EXPECT_EQ(picked.Model, "TAV-9000-PS");
    EXPECT_EQ(std::tie(picked.Voltage, picked.Frequency, picked.Option), std::tuple(2, 1, 3));

    tool->ShowTool();
    EXPECT_TRUE(tool->isVisible());
    ToolButton("CloseButton")->click();
    EXPECT_FALSE(tool->isVisible());
}

TEST_F(ServiceTool, SendComandWritesTheEditLineOnlyWhileThePortIsOpenAndLogsItAlways)
{
    CreateWindows();
    PtyLink instrument(sandbox, 7);
    OpenPortOn(7);

    ToolButton("SendComandButton")->click();
    EXPECT_EQ(instrument.ReadLines(1), "*idn?\n");
    // Enter in the edit sends as well.
    Command()->setText("*opt?");
    QTest::keyClick(Command(), Qt::Key_Return);
    EXPECT_EQ(instrument.ReadLines(1), "*opt?\n");

    // Closed: logged as not sent, as the configuration transfer logs its lines. The next line
    // sent after reopening is the first to arrive.
    state.Link.ComPort(1).SetActive(false);
    Command()->setText("outp,1");
    ToolButton("SendComandButton")->click();
    OpenPortOn(7);
    Command()->setText("*tav?");
    ToolButton("SendComandButton")->click();
    EXPECT_EQ(instrument.ReadLines(1), "*tav?\n");

    const QStringList log = LogLines();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log.mid(log.size() - 4),
              (QStringList{"*idn?", "*opt?", "outp,1 (not sent: port not open)", "*tav?"}));
}

TEST_F(ServiceTool, SendConfigWithTheTimerHandlerWritesTheModelIntoTheInstrument)
{
    auto sim = StartSimAndWindows();
    ASSERT_TRUE(sim->Ready());
    // The tool's answer to its own "*idn?" shows the simulator's power-on model.
    ToolButton("SendComandButton")->click();
    ASSERT_TRUE(WaitUntil([&] {
        return LogLines().contains("> KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00");
    }));
    const int before = static_cast<int>(sim->Received().size());

    Model()->setCurrentIndex(Model()->findText("TAV-1600-PS"));
    Pick("RadioGroup1", "HV / 500 Vrms");
    Pick("RadioGroup2", "F1 / 1000 Hz");
    Pick("RadioGroup3", "MB2");
    ToolButton("SendConfigButton")->click();
    ASSERT_TRUE(tool->Timer1()->isActive());
    // The test is the clock: the real timer stays out of it.
    tool->Timer1()->stop();
    for (int i = 0; i < 12; ++i)
        tool->Timer1Timer();
    EXPECT_FALSE(tool->Timer1()->isActive());

    // The twelve lines reach the instrument as the log has them; which lines they are for a
    // selection is the configuration table's matter.
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() >= size_t(before) + 12; }));
    const QStringList sent = Received(*sim).mid(before);
    ASSERT_EQ(sent.size(), 12);
    QStringList log = LogLines();
    ASSERT_GE(log.size(), 13);
    EXPECT_EQ(log.mid(log.size() - 13), sent + QStringList{"Transfer done!"});

    // The instrument now names itself after the selections.
    ToolButton("SendComandButton")->click();
    EXPECT_TRUE(WaitUntil([&] {
        return LogLines().contains("> KELM Electronic GmbH,TAV-1600-PS-HV-F1-MB2,0505000120,V2.00");
    }));
    // What a typed model keeps next time is what this transfer sent.
    EXPECT_EQ(sent[0], "setpower," + tool->Transfer().LastPower);
    EXPECT_EQ(sent[3], "setcurr," + tool->Transfer().LastCurrent);
}

TEST_F(ServiceTool, AClosedPortLeavesTheInstrumentAloneAndTheTransferIncomplete)
{
    auto sim = StartSimAndWindows();
    ASSERT_TRUE(sim->Ready());
    state.Link.ComPort(1).SetActive(false);
    const int before = static_cast<int>(sim->Received().size());
    ToolButton("SendConfigButton")->click();
    tool->Timer1()->stop();
    for (int i = 0; i < 12; ++i)
        tool->Timer1Timer();
    const QStringList log = LogLines();
    ASSERT_GE(log.size(), 13);
    EXPECT_TRUE(log.at(log.size() - 13).startsWith("setpower,")) << log.join('\n').toStdString();
    EXPECT_TRUE(log.at(log.size() - 2).endsWith(" (not sent: port not open)"));
    EXPECT_EQ(log.last(), "Transfer not complete: 0 of 12 lines sent");

    // Reopened, a query is the next line the instrument gets: nothing of the transfer came.
    state.Link.ComPort(1).SetActive(true);
    ToolButton("SendComandButton")->click();
    ASSERT_TRUE(WaitUntil([&] { return sim->Received().size() > size_t(before); }));
    EXPECT_EQ(Received(*sim).mid(before), QStringList{"*idn?"});
}

} // namespace
