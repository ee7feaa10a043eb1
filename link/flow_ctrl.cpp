#include "link/flow_ctrl.h"

#include "link/cia_com_port.h"

void TFlowCtrl::SetBits(uint32_t mask, uint32_t bits)
{
    m_flags = (m_flags & ~mask) | bits;
    if (m_owner)
        m_owner->ApplyLineState();
}

void TFlowCtrl::SetRxDsrSensivity(bool on)
{
    m_rxDsrSensivity = on;
    SetBits(0x0040, on ? 0x0040 : 0);
}

void TFlowCtrl::SetRxDtrControl(TDtrControl value)
{
    m_rxDtrControl = value;
    SetBits(0x0030, static_cast<uint32_t>(value) << 4);
}

void TFlowCtrl::SetRxRtsControl(TRtsControl value)
{
    m_rxRtsControl = value;
    SetBits(0x3000, static_cast<uint32_t>(value) << 12);
}

void TFlowCtrl::SetTxContinueXoff(bool on)
{
    m_txContinueXoff = on;
    SetBits(0x0080, on ? 0x0080 : 0);
}

void TFlowCtrl::SetTxCtsFlow(bool on)
{
    m_txCtsFlow = on;
    SetBits(0x0004, on ? 0x0004 : 0);
}

void TFlowCtrl::SetTxDsrFlow(bool on)
{
    m_txDsrFlow = on;
    SetBits(0x0008, on ? 0x0008 : 0);
}

void TFlowCtrl::SetXonXoff(bool on)
{
    m_xonXoff = on;
    SetBits(0x0300, on ? 0x0300 : 0);
}
