#pragma once

#include <QEvent>
#include <cstdint>

// The notifications a port's receive thread queues for the user-interface thread.
namespace cia_events {

enum class Kind { Handover, DataAvailable, TxEmpty, Cts, Dsr, LineError, RestartTimer, DeviceLost };

QEvent::Type EventType();

class PortEvent : public QEvent {
public:
    PortEvent(Kind kind, uint32_t session, uint32_t value = 0)
        : QEvent(EventType()), kind(kind), session(session), value(value)
    {
    }
    const Kind kind;
    const uint32_t session; // which opening of the port it belongs to
    const uint32_t value;
};

} // namespace cia_events
