// Every set-value field of the main window against a three-phase instrument: Enter sends the
// field's command with the typed value at slot 29, and the set values read back afterwards put
// the instrument's value into that field.
#include "tests/panel/panel_fixture.h"
#include "tests/support/tavsim_process.h"

#include <QLineEdit>
#include <QTest>

namespace {

// Each field, a value of its own typed into it, the line Enter sends and what the field shows
// once the instrument's answer has been read back: eight characters, angles five and a degree
// sign.
struct FieldCase {
    const char* field;
    const char* typed;
    const char* sent;
    const char* shown;
};

const FieldCase kSetValueFields[] = {
    {"Edit14", "230", "SOUR:VOLTAC,230", "230.0000"},
    {"Edit18", "12.5", "SOUR:VOLTDC,12.5", "12.50000"},
    {"Edit15", "7.25", "SOUR:CURR,7.25", "7.25000"},
    {"Edit17", "400", "SOUR:FREQ,400", "400.0000"},
    {"Edit22", "15", "SOUR:PHAS,15", "15.00\u00B0"},
    {"Edit16", "1500", "SOUR:POWMAX,1500", "1500.000"},
    {"Edit21", "18", "SOUR:CURRMAX,18", "18.00000"},
    {"Edit23", "0.5", "SOUR:CURRTIME,0.5", "0.50000"},
    {"Edit38", "101", "SOUR1:VOLTAC,101", "101.0000"},
    {"Edit39", "102", "SOUR2:VOLTAC,102", "102.0000"},
    {"Edit40", "103", "SOUR3:VOLTAC,103", "103.0000"},
    {"Edit41", "1.1", "SOUR1:VOLTDC,1.1", "1.10000"},
    {"Edit42", "2.2", "SOUR2:VOLTDC,2.2", "2.20000"},
    {"Edit43", "3.3", "SOUR3:VOLTDC,3.3", "3.30000"},
    {"Edit44", "4", "SOUR1:CURR,4", "4.00000"},
    {"Edit45", "5", "SOUR2:CURR,5", "5.00000"},
    {"Edit46", "6", "SOUR3:CURR,6", "6.00000"},
    {"Edit47", "50", "SOUR1:FREQ,50", "50.00000"},
    {"Edit48", "60", "SOUR2:FREQ,60", "60.00000"},
    {"Edit49", "1000", "SOUR3:FREQ,1000", "1000.000"},
    {"Edit50", "5", "SOUR1:PHAS,5", "5.000\u00B0"},
    {"Edit51", "125.5", "SOUR2:PHAS,125.5", "125.5\u00B0"},
    {"Edit52", "250", "SOUR3:PHAS,250", "250.0\u00B0"},
};

} // namespace

using SetValueFieldsTest = PanelFixture;

TEST_F(SetValueFieldsTest, EnterSendsTheFieldsCommandAndTheFieldShowsWhatWasReadBack)
{
    auto sim = StartSimAndWindows({"--options", "3P", "--delay-ms", "0"});
    ConnectDriven();
    TickThrough(58);
    for (const FieldCase& f : kSetValueFields) {
        SCOPED_TRACE(f.field);
        const size_t before = sim->Received().size();
        QLineEdit* edit = Edit(QString::fromLatin1(f.field));
        ASSERT_TRUE(edit->isEnabled());
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(f.typed));
        QTest::keyClick(edit, Qt::Key_Return);
        TickThrough(29);
        TickThrough(58);
        // The only command among the polled queries, sent as typed.
        QStringList commands;
        const auto received = sim->Received();
        for (size_t i = before; i < received.size(); ++i)
            if (!received[i].line.endsWith('?'))
                commands.append(received[i].line);
        EXPECT_EQ(commands, QStringList{QString::fromLatin1(f.sent)});
        EXPECT_EQ(edit->text().toStdString(), f.shown);
    }
    // The per-phase settings came after the common ones, so every field still holds its own.
    for (const FieldCase& f : kSetValueFields)
        EXPECT_EQ(Edit(QString::fromLatin1(f.field))->text().toStdString(), f.shown) << f.field;
    EXPECT_TRUE(messages.isEmpty());
}
