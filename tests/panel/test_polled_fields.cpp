// Every polled value lands in its own field: a three-phase instrument answers each value query
// with a text of its own, and after one set-value block and one measurement pass each field
// shows the answer to its query.
#include "tests/panel/panel_fixture.h"

#include <QLineEdit>

namespace {

struct PolledField {
    const char* query;
    const char* field;
    bool angle; // the first five characters and a degree sign, not the first eight
};

// The poll table's value slots, by the query sent and the field its answer is shown in.
const PolledField kPolledFields[] = {
    {"meas:volt?", "Edit1", false},      {"meas:curr?", "Edit2", false},
    {"meas:pow?", "Edit5", false},       {"meas:va?", "Edit6", false},
    {"meas:currp?", "Edit7", false},     {"meas:pfact?", "Edit8", false},
    {"meas:cfact?", "Edit9", false},     {"meas2:volt?", "Edit24", false},
    {"meas2:curr?", "Edit25", false},    {"meas2:pow?", "Edit26", false},
    {"meas2:va?", "Edit27", false},      {"meas2:currp?", "Edit28", false},
    {"meas2:pfact?", "Edit29", false},   {"meas2:cfact?", "Edit30", false},
    {"meas3:volt?", "Edit31", false},    {"meas3:curr?", "Edit32", false},
    {"meas3:pow?", "Edit33", false},     {"meas3:va?", "Edit34", false},
    {"meas3:currp?", "Edit35", false},   {"meas3:pfact?", "Edit36", false},
    {"meas3:cfact?", "Edit37", false},   {"Sour:voltac?", "Edit14", false},
    {"Sour:voltdc?", "Edit18", false},   {"Sour:curr?", "Edit15", false},
    {"Sour:freq?", "Edit17", false},     {"Sour:phas?", "Edit22", true},
    {"Sour:powmax?", "Edit16", false},   {"sour:currmax?", "Edit21", false},
    {"sour:currtime?", "Edit23", false}, {"Sour1:voltac?", "Edit38", false},
    {"Sour2:voltac?", "Edit39", false},  {"Sour3:voltac?", "Edit40", false},
    {"Sour1:voltdc?", "Edit41", false},  {"Sour2:voltdc?", "Edit42", false},
    {"Sour3:voltdc?", "Edit43", false},  {"Sour1:curr?", "Edit44", false},
    {"Sour2:curr?", "Edit45", false},    {"Sour3:curr?", "Edit46", false},
    {"Sour1:freq?", "Edit47", false},    {"Sour2:freq?", "Edit48", false},
    {"Sour3:freq?", "Edit49", false},    {"Sour1:phas?", "Edit50", true},
    {"Sour2:phas?", "Edit51", true},     {"Sour3:phas?", "Edit52", true},
};

// An answer of its own for each row, longer than a field shows and different in its first five
// characters from every other.
QString AnswerFor(int row) { return QString::number(100 + row) + QStringLiteral(".98765"); }

} // namespace

using PolledFieldsTest = PanelFixture;

TEST_F(PolledFieldsTest, EveryValueOfAThreePhaseInstrumentLandsInItsField)
{
    QStringList args = {"--options", "3P CR2 OT1", "--delay-ms", "0"};
    int row = 0;
    for (const PolledField& p : kPolledFields)
        args << "--answer" << QString::fromLatin1(p.query) + '=' + AnswerFor(row++);
    auto sim = StartSimAndWindows(args);
    ConnectDriven();
    TickThrough(58); // the whole set-value block, three-phase since the options answer
    TickThrough(29); // a whole measurement pass
    row = 0;
    for (const PolledField& p : kPolledFields) {
        const QString answer = AnswerFor(row++);
        const QString shown = p.angle ? answer.left(5) + QChar(0x00B0) : answer.left(8);
        EXPECT_EQ(Edit(QString::fromLatin1(p.field))->text(), shown) << p.query;
    }
    EXPECT_TRUE(Visible("BitBtn8"));
}
