#pragma once

#include "common/file_cells.h"

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Errors raised in an operator's event abandon the event and are shown in a message box, as the
// application's general error handling does.
void ShowOperatorError(QWidget* parent, const QString& text);

// The same for news that may stop being true (a port lost, and back): a box that does not hold
// the program's events, which the caller closes when it is past. The box, or null when a test's
// hook took the text.
QWidget* ShowOperatorNotice(QWidget* parent, const QString& text);

// Runs an operator's event (a click, a key, a timer) and shows any error it raises.
void RunOperatorEvent(QWidget* parent, const std::function<void()>& event);

// Tests see the messages instead of a modal box. An empty hook restores the message box.
void SetOperatorMessageHook(std::function<void(const QString&)> hook);

// A question with the buttons Yes and No: true for Yes. Tests answer through the hook; an
// empty hook restores the message box.
bool AskOperator(QWidget* parent, const QString& text);
void SetOperatorQuestionHook(std::function<bool(const QString&)> hook);

// Before a window saves a data file: false, after telling the operator, when a cell would shift
// the fields of its line (checkSeparators), or when cells hold characters the 8-bit file cannot
// keep and the operator does not want them saved as '?'.
bool ConfirmFileSave(QWidget* parent, const FileCells& cells, bool checkSeparators);

// Connects a control's signal to an operator's event run by RunOperatorEvent, so an error it
// raises is shown to the operator instead of travelling through the event loop.
template <typename Sender, typename Signal>
void OnOperatorEvent(QWidget* owner, Sender* sender, Signal signal, std::function<void()> event)
{
    QObject::connect(sender, signal, owner,
                     [owner, event = std::move(event)] { RunOperatorEvent(owner, event); });
}
