// What the reply handling shows, slot by slot, in the real window.
#include "tests/panel/panel_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

class ReplyParserTest : public PanelFixture {
protected:
    void SetUp() override { CreateWindows(); }
};

} // namespace

TEST_F(ReplyParserTest, OnlyTheSingleCharacterOneMeansOn)
{
    Reply(9, "1\r\n");
    EXPECT_TRUE(Visible("OutputOnButton"));
    EXPECT_FALSE(Visible("OutputOffButton"));
    for (const char* off : {"1.0", "0", "ON", "11", ""}) {
        Reply(9, "1");
        Reply(39, QString::fromLatin1(off) + "\r\n");
        EXPECT_FALSE(Visible("OutputOnButton")) << off;
        EXPECT_TRUE(Visible("OutputOffButton")) << off;
    }
    Reply(40, " 1 \r\n");
    EXPECT_TRUE(Visible("PhaseOnButton"));
    EXPECT_FALSE(Visible("PhaseOffButton"));
    Reply(41, "1\r\n");
    EXPECT_TRUE(Visible("AuxOnButton"));
    Reply(41, "0\r\n");
    EXPECT_FALSE(Visible("AuxOnButton"));
    EXPECT_TRUE(Visible("AuxOffButton"));
}

TEST_F(ReplyParserTest, ValueFieldsShowEightCharactersAsReceived)
{
    Reply(33, "230.00000\r\n");
    EXPECT_EQ(Edit("Edit14")->text(), "230.0000");
    Reply(2, "230.1V\r\n");
    EXPECT_EQ(Edit("Edit1")->text(), "230.1V");
    Reply(17, "123.4mA\r\n");
    EXPECT_EQ(Edit("Edit31")->text(), "123.4mA");
    Reply(43, "abc\r\n");
    EXPECT_EQ(Edit("Edit23")->text(), "abc");
    Reply(55, "60.00000\r\n");
    EXPECT_EQ(Edit("Edit49")->text(), "60.00000");
}

TEST_F(ReplyParserTest, AnglesShowFiveCharactersAndADegreeSign)
{
    Reply(37, "120.00\r\n");
    EXPECT_EQ(Edit("Edit22")->text(), QString::fromUtf8("120.0\u00B0"));
    Reply(58, "240\r\n");
    EXPECT_EQ(Edit("Edit52")->text(), QString::fromUtf8("240\u00B0"));
}

TEST_F(ReplyParserTest, StatusWordShowsExactlyItsIndicators)
{
    form->Cycle().StatusPending = true;
    Reply(1, "9\r\n");
    EXPECT_FALSE(form->Cycle().StatusPending);
    EXPECT_EQ(tool->FieldText("Edit53"), "9");
    EXPECT_TRUE(Visible("BitBtn11")); // C.C. phase 1
    EXPECT_TRUE(Visible("BitBtn14")); // O.L. phase 1
    for (const char* hidden : {"BitBtn12", "BitBtn13", "BitBtn15", "BitBtn16"})
        EXPECT_FALSE(Visible(hidden)) << hidden;
    Reply(1, "54\r\n"); // 32 + 16 + 4 + 2
    EXPECT_FALSE(Visible("BitBtn11"));
    EXPECT_TRUE(Visible("BitBtn12"));
    EXPECT_TRUE(Visible("BitBtn13"));
    EXPECT_FALSE(Visible("BitBtn14"));
    EXPECT_TRUE(Visible("BitBtn15"));
    EXPECT_TRUE(Visible("BitBtn16"));
    Reply(1, "0\r\n");
    for (int b = 11; b <= 16; ++b)
        EXPECT_FALSE(Visible(QStringLiteral("BitBtn%1").arg(b)));
}

TEST_F(ReplyParserTest, EmptyLineEmptiesTheFieldAndLogsNothing)
{
    Reply(34, "12.5\r\n");
    const qsizetype logged = LogLines().size();
    EXPECT_EQ(LogLines().last(), "> 12.5");
    Reply(34, "\r\n");
    EXPECT_EQ(Edit("Edit18")->text(), "");
    EXPECT_EQ(LogLines().size(), logged);
}

TEST_F(ReplyParserTest, SlotEightRefreshesTheStopwatchFields)
{
    state.Test.Stopwatch = {1000, 4500, 0.0035};
    Reply(8, "1.414\r\n");
    EXPECT_EQ(Edit("Edit9")->text(), "1.414");
    EXPECT_EQ(tool->FieldText("Edit10"), "1000");
    EXPECT_EQ(tool->FieldText("Edit11"), "4500");
    EXPECT_EQ(tool->FieldText("Edit12"), "3500");
    EXPECT_EQ(tool->FieldText("Edit13"), "0.004");
}

TEST_F(ReplyParserTest, OtherSlotsOnlyLog)
{
    // What both windows show: every field and label, and which buttons and indicators are up.
    const auto shown = [this] {
        QStringList state;
        for (QWidget* window :
             {static_cast<QWidget*>(form.get()), static_cast<QWidget*>(tool.get())}) {
            for (const QLineEdit* e : window->findChildren<QLineEdit*>())
                state << e->objectName() + "=" + e->text() + (e->isEnabled() ? "" : " (off)");
            for (const QLabel* l : window->findChildren<QLabel*>())
                state << l->objectName() + "=" + l->text() + (l->isHidden() ? " (hidden)" : "");
            for (const QPushButton* b : window->findChildren<QPushButton*>())
                state << b->objectName() + (b->isHidden() ? " (hidden)" : "");
        }
        return state;
    };
    const QStringList before = shown();
    ASSERT_TRUE(before.contains("Edit1=0.000")) << before.join('\n').toStdString();
    // "1" would turn a pair or an indicator on, and reads as a value, a status word, an
    // identification and options alike.
    for (int slot : {0, 24, 25, 26, 27, 28, 29, 30}) {
        const qsizetype logged = LogLines().size();
        Reply(slot, "1\r\n");
        EXPECT_EQ(LogLines().size(), logged + 1) << slot;
        EXPECT_EQ(LogLines().last(), "> 1") << slot;
        const QStringList now = shown();
        EXPECT_EQ(now.size(), before.size()) << slot;
        QStringList changed;
        for (const QString& entry : now)
            if (!before.contains(entry))
                changed << entry;
        EXPECT_TRUE(changed.isEmpty()) << slot << ": " << changed.join(", ").toStdString();
    }
}
