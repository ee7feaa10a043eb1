// Every set-value field of the main window against a three-phase instrument: Enter sends the
// field's command with the typed value at slot 29, and the set values read back afterwards put
// the instrument's value into that field.
#include "tests/panel/panel_fixture.h"
#include "tests/support/tavsim_process.h"

#include <QLineEdit>
#include <QTest>

namespace {

struct FieldCommand {
    const char* field;
    const char* prefix; // the command up to and with its comma
    bool angle;         // shown as an angle when read back
};

const FieldCommand kSetValueFields[] = {
    {"Edit14", "SOUR:VOLTAC,", false},   {"Edit18", "SOUR:VOLTDC,", false},
    {"Edit15", "SOUR:CURR,", false},     {"Edit17", "SOUR:FREQ,", false},
    {"Edit22", "SOUR:PHAS,", true},      {"Edit16", "SOUR:POWMAX,", false},
    {"Edit21", "SOUR:CURRMAX,", false},  {"Edit23", "SOUR:CURRTIME,", false},
    {"Edit38", "SOUR1:VOLTAC,", false},  {"Edit39", "SOUR2:VOLTAC,", false},
    {"Edit40", "SOUR3:VOLTAC,", false},  {"Edit41", "SOUR1:VOLTDC,", false},
    {"Edit42", "SOUR2:VOLTDC,", false},  {"Edit43", "SOUR3:VOLTDC,", false},
    {"Edit44", "SOUR1:CURR,", false},    {"Edit45", "SOUR2:CURR,", false},
    {"Edit46", "SOUR3:CURR,", false},    {"Edit47", "SOUR1:FREQ,", false},
    {"Edit48", "SOUR2:FREQ,", false},    {"Edit49", "SOUR3:FREQ,", false},
    {"Edit50", "SOUR1:PHAS,", true},     {"Edit51", "SOUR2:PHAS,", true},
    {"Edit52", "SOUR3:PHAS,", true},
};

// A value of its own for each field; the instrument answers it as "1xx.00000".
QString ValueFor(int row) { return QString::number(101 + row); }

QString ShownAfterReadBack(const FieldCommand& f, int row)
{
    return f.angle ? ValueFor(row) + QStringLiteral(".0") + QChar(0x00B0)
                   : ValueFor(row) + QStringLiteral(".0000");
}

} // namespace

using SetValueFieldsTest = PanelFixture;

TEST_F(SetValueFieldsTest, EnterSendsTheFieldsCommandAndTheFieldShowsWhatWasReadBack)
{
    auto sim = StartSimAndWindows({"--options", "3P", "--delay-ms", "0"});
    ConnectDriven();
    TickThrough(58);
    int row = 0;
    for (const FieldCommand& f : kSetValueFields) {
        const size_t before = sim->Received().size();
        QLineEdit* edit = Edit(QString::fromLatin1(f.field));
        ASSERT_TRUE(edit->isEnabled()) << f.field;
        edit->clear();
        QTest::keyClicks(edit, ValueFor(row));
        QTest::keyClick(edit, Qt::Key_Return);
        TickThrough(29);
        TickThrough(58);
        // The only command among the polled queries, sent as typed.
        QStringList commands;
        const auto received = sim->Received();
        for (size_t i = before; i < received.size(); ++i)
            if (!received[i].line.endsWith('?'))
                commands.append(received[i].line);
        EXPECT_EQ(commands, QStringList{QString::fromLatin1(f.prefix) + ValueFor(row)}) << f.field;
        EXPECT_EQ(edit->text(), ShownAfterReadBack(f, row)) << f.field;
        ++row;
    }
    // The per-phase settings came after the common ones, so every field still holds its own.
    row = 0;
    for (const FieldCommand& f : kSetValueFields) {
        EXPECT_EQ(Edit(QString::fromLatin1(f.field))->text(), ShownAfterReadBack(f, row))
            << f.field;
        ++row;
    }
    EXPECT_TRUE(messages.isEmpty());
}
