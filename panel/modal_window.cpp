#include "panel/modal_window.h"

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
