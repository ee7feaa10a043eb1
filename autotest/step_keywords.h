#pragma once

#include <QString>

class TestInterpreter;

// The keywords that work on test variables, prompts and the stopwatch. The interpreter asks at
// two points of every tick; this base knows none of them.
class StepKeywords {
public:
    virtual ~StepKeywords() = default;

    // The whole "Command" cell, before anything is sent. True when it was such a keyword and
    // has been carried out: nothing is sent for the row then.
    virtual bool ControlKeyword(TestInterpreter& /*run*/, const QString& /*command*/)
    {
        return false;
    }
    // The line about to be sent, which holds an '@': the line with a variable put in.
    virtual QString Substitute(const QString& line) { return line; }
};
