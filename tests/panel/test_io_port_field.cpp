// The port field of the I/O window: only a choice from its list picks a port.
#include "link/io_config_window.h"
#include "link/link_settings.h"
#include "tests/panel/panel_fixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QTest>

namespace {

class IoPortField : public PanelFixture {
protected:
    PtyLink com2{sandbox, 2};
    PtyLink com3{sandbox, 3};
    PtyLink com12{sandbox, 12};
};

} // namespace

TEST_F(IoPortField, TypedTextPicksNothingAndAListChoiceDoes)
{
    LinkSettings saved;
    saved.PortText = QStringLiteral("12");
    ASSERT_TRUE(WriteLinkConfig(CwdFile("TAVCON.cfg"), saved));
    CreateWindows();
    ASSERT_EQ(state.Link.ComPort(1).Port(), 12);
    TForm4 io(state.Link, *form, form.get());
    io.show();
    auto* field = io.findChild<QComboBox*>("ComboBox1");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->currentText(), "COM12") << "the whole configured port";
    const QStringList logBefore = LogLines();

    for (const char* typed : {"5", "x", "COM3", "COM0", "COM300"}) {
        field->lineEdit()->selectAll();
        QTest::keyClicks(field->lineEdit(), QString::fromLatin1(typed));
        QTest::keyClick(field->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(state.Link.Settings.PortText, "12") << typed;
        EXPECT_EQ(state.Link.ComPort(1).Port(), 12) << typed;
        EXPECT_TRUE(state.Link.ComPort(1).Active()) << typed;
        EXPECT_EQ(field->count(), 3) << "typed text joins the list: " << typed;
        EXPECT_EQ(field->currentText(), "COM12") << typed;
    }
    EXPECT_EQ(LogLines(), logBefore);
    EXPECT_TRUE(messages.isEmpty()) << messages.join(" | ").toStdString();

    // A choice from the list.
    const int com3 = field->findText("COM3");
    ASSERT_GE(com3, 0);
    Q_EMIT field->activated(com3);
    EXPECT_EQ(state.Link.Settings.PortText, "3");
    EXPECT_EQ(state.Link.ComPort(1).Port(), 3);
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_EQ(LogLines().mid(logBefore.size()),
              QStringList({"> COM12: port closed", "> COM3: port opened"}));
}
