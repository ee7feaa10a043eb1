#include "widgets/modal_window.h"

#include <QKeyEvent>
#include <QPushButton>

void ModalWindowSlot::CreateHidden(QWidget* parent)
{
    if (!m_instance && m_factory)
        m_instance = m_factory(parent);
}

int ModalWindowSlot::ShowModal(QWidget* parent)
{
    CreateHidden(parent);
    if (!m_instance)
        return -1;
    const int result = m_instance->exec();
    delete m_instance;
    return result;
}

namespace {

class EscapeFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void KeepOpenOnEscape(QDialog* window) { window->installEventFilter(new EscapeFilter(window)); }

QPushButton* MakeCloseButton(QDialog* window)
{
    auto* close = new QPushButton(QStringLiteral("Close"), window);
    close->setObjectName(QStringLiteral("CloseButton"));
    close->setAutoDefault(false);
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::accept);
    return close;
}
