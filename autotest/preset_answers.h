#pragma once

#include "autotest/value_prompt.h"

#include <QStringList>

// The prompt of a run without windows: answers given beforehand, one per prompt in turn; once
// they are used up, every prompt takes its default, as an operator closing the window would.
class PresetAnswers : public ValuePrompt {
public:
    explicit PresetAnswers(QStringList answers = {}) : m_answers(std::move(answers)) {}

    QString AskValue(const QString& defaultText, const QString& promptText) override;

    // The prompt texts asked so far, in order.
    const QStringList& Asked() const { return m_asked; }

private:
    QStringList m_answers;
    QStringList m_asked;
};
