#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

// A window the main window opens modally from its menu: created if absent (the one made hidden
// at program start serves the first opening), shown modally, destroyed when it returns, so each
// later opening starts from its creation state.
class ModalWindowSlot {
public:
    using Factory = std::function<QDialog*(QWidget* parent)>;

    void SetFactory(Factory factory) { m_factory = std::move(factory); }
    bool HasFactory() const { return static_cast<bool>(m_factory); }
    // The hidden instance of program start.
    void CreateHidden(QWidget* parent);
    // Returns the dialog's result; -1 when no window of this kind exists.
    int ShowModal(QWidget* parent);
    QDialog* Instance() const { return m_instance; }

private:
    Factory m_factory;
    QPointer<QDialog> m_instance;
};

// Escape does not close the window: the table windows close only by "Close" or the close box,
// so a stray key never throws away an unsaved table or ends a transfer. An open cell editor
// still takes Escape to cancel its edit.
void KeepOpenOnEscape(QDialog* window);

class QPushButton;

// The "Close" button of a window ("CloseButton"): never the default button, so Enter in a field
// does not close the window; a click accepts the window.
QPushButton* MakeCloseButton(QDialog* window);
