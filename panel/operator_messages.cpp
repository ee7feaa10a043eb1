#include "panel/operator_messages.h"

#include "link/cia_com_port.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace {
std::function<void(const QString&)>& Hook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}
} // namespace

void SetOperatorMessageHook(std::function<void(const QString&)> hook) { Hook() = std::move(hook); }

void ShowOperatorError(QWidget* parent, const QString& text)
{
    if (Hook()) {
        Hook()(text);
        return;
    }
    QMessageBox::critical(parent, QApplication::applicationName(), text);
}

void RunOperatorEvent(QWidget* parent, const std::function<void()>& event)
{
    try {
        event();
    } catch (const ECiaComPort& e) {
        ShowOperatorError(parent, e.Message());
    } catch (const std::exception& e) {
        ShowOperatorError(parent, QString::fromLocal8Bit(e.what()));
    }
}
