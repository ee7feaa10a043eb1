#pragma once

#include <QString>

// Asks the operator for a test variable's value: the prompt window, or whatever answers for a
// run without windows.
class ValuePrompt {
public:
    virtual ~ValuePrompt() = default;

    // The text entered; the default when the operator declined.
    virtual QString AskValue(const QString& defaultText, const QString& promptText) = 0;
};
