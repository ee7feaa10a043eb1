#include "autotest/preset_answers.h"

QString PresetAnswers::AskValue(const QString& defaultText, const QString& promptText)
{
    m_asked.append(promptText);
    if (m_answers.isEmpty())
        return defaultText;
    return m_answers.takeFirst();
}
