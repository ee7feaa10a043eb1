#pragma once

#include <QString>
#include <cstddef>
#include <iterator>

// Every word of a test table that the run reads itself instead of sending it to the instrument
// as it stands. The interpreter, the variable keywords and tavtest compare with these texts, and
// a test checks that the user's guide (doc/test-tables.md) explains each one: a new keyword is
// added here, and to the guide.
enum class StepKeyword {
    // The whole "Command" cell.
    Goto,
    Pause,
    End,
    Send, // read as END
    StartTime,
    ReadTime,
    SysTime,
    // The start of the "Command" cell, followed by a variable number 01 ... 10.
    MsgVar,
    SetVar,
    AddVar,
    SubVar,
    // Anywhere in a line that is sent, followed by a variable number: the variable's value.
    Var,
    // The start of the "Command" cell, followed by a device number, ':' and the line to send.
    Com,
    Gpib,
    // The whole "Command" cell: a line for the external meter as well.
    ExtMeas,
    ExtVdc,
    ExtVac,
    ExtMvdc,
    ExtMvac,
    // "Value 1" or "Value 3" of a checked row: no jump when the check fails.
    Next,
    Count
};

// The texts, in the order of StepKeyword.
inline constexpr QLatin1String kStepKeywordTexts[] = {
    QLatin1String("GOTO"),     QLatin1String("PAUSE"),      QLatin1String("END"),
    QLatin1String("SEND"),     QLatin1String("@STARTTIME"), QLatin1String("@READTIME"),
    QLatin1String("@SYSTIME"), QLatin1String("@MSGVAR"),    QLatin1String("@SETVAR"),
    QLatin1String("@ADDVAR"),  QLatin1String("@SUBVAR"),    QLatin1String("@VAR"),
    QLatin1String("@COM"),     QLatin1String("@GPIB"),      QLatin1String("EXTMEAS?"),
    QLatin1String("EXTVDC"),   QLatin1String("EXTVAC"),     QLatin1String("EXTMVDC?"),
    QLatin1String("EXTMVAC?"), QLatin1String("NEXT")};
static_assert(std::size(kStepKeywordTexts) == static_cast<std::size_t>(StepKeyword::Count),
              "every keyword has its text");

constexpr QLatin1String KeywordText(StepKeyword keyword)
{
    return kStepKeywordTexts[static_cast<std::size_t>(keyword)];
}

// The rows that end a run: "END", and "SEND", which is read as END.
inline bool IsEndCommand(const QString& command)
{
    return command == KeywordText(StepKeyword::End) || command == KeywordText(StepKeyword::Send);
}

// The variable a "@MSGVARnn" row asks for: nn, 1 ... 10 (0 when the cell is no such row).
inline int PromptedVariable(const QString& command)
{
    return command.mid(KeywordText(StepKeyword::MsgVar).size(), 2).toInt();
}
