#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

// Errors raised in an operator's event abandon the event and are shown in a message box, as the
// application's general error handling does.
void ShowOperatorError(QWidget* parent, const QString& text);

// Runs an operator's event (a click, a key, a timer) and shows any error it raises.
void RunOperatorEvent(QWidget* parent, const std::function<void()>& event);

// Tests see the messages instead of a modal box. An empty hook restores the message box.
void SetOperatorMessageHook(std::function<void(const QString&)> hook);

// Connects a control's signal to an operator's event run by RunOperatorEvent, so an error it
// raises is shown to the operator instead of travelling through the event loop.
template <typename Sender, typename Signal>
void OnOperatorEvent(QWidget* owner, Sender* sender, Signal signal, std::function<void()> event)
{
    QObject::connect(sender, signal, owner,
                     [owner, event = std::move(event)] { RunOperatorEvent(owner, event); });
}
