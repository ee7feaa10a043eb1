#pragma once

#include <cstdint>

class TCiaComPort;

enum TDtrControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRtsControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

// Handshake settings of a port, held as the line-state flag word. Every setter updates its bits
// and, when the owning port is open, applies the word at once.
class TFlowCtrl {
public:
    explicit TFlowCtrl(TCiaComPort* owner) : m_owner(owner) {}

    // Bit 0x0001 is always on; DTR and RTS are enabled from the start.
    static constexpr uint32_t kInitialFlags = 0x1011;

    uint32_t Flags() const { return m_flags; }

    bool RxDsrSensivity() const { return m_rxDsrSensivity; }
    void SetRxDsrSensivity(bool on);
    TDtrControl RxDtrControl() const { return m_rxDtrControl; }
    void SetRxDtrControl(TDtrControl value);
    TRtsControl RxRtsControl() const { return m_rxRtsControl; }
    void SetRxRtsControl(TRtsControl value);
    bool TxContinueXoff() const { return m_txContinueXoff; }
    void SetTxContinueXoff(bool on);
    bool TxCtsFlow() const { return m_txCtsFlow; }
    void SetTxCtsFlow(bool on);
    bool TxDsrFlow() const { return m_txDsrFlow; }
    void SetTxDsrFlow(bool on);
    bool XonXoff() const { return m_xonXoff; }
    void SetXonXoff(bool on);

private:
    void SetBits(uint32_t mask, uint32_t bits);

    TCiaComPort* m_owner;
    uint32_t m_flags = kInitialFlags;
    bool m_rxDsrSensivity = false;
    TDtrControl m_rxDtrControl = dtrEnable;
    TRtsControl m_rxRtsControl = rtsEnable;
    bool m_txContinueXoff = false;
    bool m_txCtsFlow = false;
    bool m_txDsrFlow = false;
    bool m_xonXoff = false;
};
