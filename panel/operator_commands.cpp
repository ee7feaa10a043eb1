#include "panel/operator_commands.h"

namespace {

// "F 1:" to "F 3:" show the polled per-phase frequencies; Enter there sets the frequency of that
// phase, in the same form as the other per-phase fields.
const SetValueField kFields[] = {
    {"Edit14", "SOUR:VOLTAC,", true},   {"Edit18", "SOUR:VOLTDC,", true},
    {"Edit15", "SOUR:CURR,", true},     {"Edit17", "SOUR:FREQ,", true},
    {"Edit22", "SOUR:PHAS,", true},     {"Edit16", "SOUR:POWMAX,", true},
    {"Edit21", "SOUR:CURRMAX,", true},  {"Edit23", "SOUR:CURRTIME,", true},
    {"Edit38", "SOUR1:VOLTAC,", false}, {"Edit39", "SOUR2:VOLTAC,", false},
    {"Edit40", "SOUR3:VOLTAC,", false}, {"Edit41", "SOUR1:VOLTDC,", false},
    {"Edit42", "SOUR2:VOLTDC,", false}, {"Edit43", "SOUR3:VOLTDC,", false},
    {"Edit44", "SOUR1:CURR,", false},   {"Edit45", "SOUR2:CURR,", false},
    {"Edit46", "SOUR3:CURR,", false},   {"Edit47", "SOUR1:FREQ,", false},
    {"Edit48", "SOUR2:FREQ,", false},   {"Edit49", "SOUR3:FREQ,", false},
    {"Edit50", "SOUR1:PHAS,", false},   {"Edit51", "SOUR2:PHAS,", false},
    {"Edit52", "SOUR3:PHAS,", false},
};

} // namespace

const SetValueField* SetValueFields(int& count)
{
    count = static_cast<int>(std::size(kFields));
    return kFields;
}

QString CheckSetValueText(const QString& text)
{
    for (QChar c : text)
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) && c != QLatin1Char('.'))
            return {};
    return text;
}

QByteArray SetValueCommand(const SetValueField& field, const QString& text)
{
    return QByteArray(field.prefix) + text.toLatin1() + '\n';
}

QByteArray RecallStateCommand(const QString& state) { return "*RCL," + state.toLatin1() + '\n'; }

QByteArray SaveStateCommand(const QString& state) { return "*SAV," + state.toLatin1() + '\n'; }
