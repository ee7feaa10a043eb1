#pragma once

#include <QEvent>
#include <cstdint>

// The notifications a port's receive thread queues for the user-interface thread.
namespace cia_events {

// Qt's event queue hands the event over under a lock of its own (a futex) that ThreadSanitizer
// does not see; these two marks tell it, in a ThreadSanitizer build, and are nothing otherwise.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
inline void HandedOver(void* event) { __tsan_release(event); }
inline void TakenOver(void* event) { __tsan_acquire(event); }
#else
inline void HandedOver(void*) {}
inline void TakenOver(void*) {}
#endif

enum class Kind { Handover, DataAvailable, TxEmpty, Cts, Dsr, LineError, RestartTimer, DeviceLost };

QEvent::Type EventType();

class PortEvent : public QEvent {
public:
    PortEvent(Kind kind, uint32_t session, uint32_t value = 0)
        : QEvent(EventType()), kind(kind), session(session), value(value)
    {}
    const Kind kind;
    const uint32_t session; // which opening of the port it belongs to
    const uint32_t value;
};

} // namespace cia_events
