#include "widgets/operator_messages.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

namespace {
std::function<void(const QString&)>& Hook()
{
    static std::function<void(const QString&)> hook;
    return hook;
}

std::function<bool(const QString&)>& QuestionHook()
{
    static std::function<bool(const QString&)> hook;
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

QWidget* ShowOperatorNotice(QWidget* parent, const QString& text)
{
    if (Hook()) {
        Hook()(text);
        return nullptr;
    }
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), text,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("OperatorNotice"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    return box;
}

void SetOperatorQuestionHook(std::function<bool(const QString&)> hook)
{
    QuestionHook() = std::move(hook);
}

bool AskOperator(QWidget* parent, const QString& text)
{
    if (QuestionHook())
        return QuestionHook()(text);
    return QMessageBox::question(parent, QApplication::applicationName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

bool ConfirmFileSave(QWidget* parent, const FileCells& cells, bool checkSeparators)
{
    const QString refused = checkSeparators ? SeparatorProblem(cells) : QString();
    if (!refused.isEmpty()) {
        ShowOperatorError(parent, refused);
        return false;
    }
    const QString lost = Latin1Problem(cells);
    return lost.isEmpty() ||
           AskOperator(parent, lost + QStringLiteral("\n\nSave with '?' in their place?"));
}

void RunOperatorEvent(QWidget* parent, const std::function<void()>& event)
{
    try {
        event();
    } catch (const std::exception& e) {
        // The program's own errors (a port's among them) carry their text as UTF-8.
        ShowOperatorError(parent, QString::fromUtf8(e.what()));
    }
}
