#pragma once

#include <QString>
#include <functional>

// Asks the operator for a test variable's value: the prompt window, or whatever answers for a
// run without windows.
class ValuePrompt {
public:
    virtual ~ValuePrompt() = default;

    // The text entered; the default when the operator declined.
    virtual QString AskValue(const QString& defaultText, const QString& promptText) = 0;

    // A prompt answered later (a keyboard shared by several runs): true when it was asked so;
    // the run is held until answered gets the text. False: AskValue answers at once.
    using Answered = std::function<void(const QString& text)>;
    virtual bool AskValueLater(const QString& /*defaultText*/, const QString& /*promptText*/,
                               Answered /*answered*/)
    {
        return false;
    }
};
