#include "autotest/steady_text.h"

#include <QLabel>
#include <QLineEdit>

void SetSteadyText(QLabel* label, const QString& text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    // A style sheet's font counts only once the label is polished.
    label->ensurePolished();
    const QSize fixed = label->minimumSize();
    const QSize wanted = label->sizeHint().expandedTo(fixed);
    if (label->maximumSize() != fixed || wanted != fixed)
        label->setFixedSize(wanted);
}

void ReleaseSteadySize(QLabel* label)
{
    label->setMinimumSize(0, 0);
    label->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void SetSteadyText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}
