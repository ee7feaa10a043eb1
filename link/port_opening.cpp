#include "link/port_opening.h"

#include "link/cia_events.h"

#include <QCoreApplication>
#include <QEvent>
#include <cerrno>
#include <mutex>
#include <thread>
#include <utility>

struct PortOpening::Shared {
    std::mutex Mutex;
    bool Done = false;
    bool Abandoned = false;
    bool Taken = false;
    PortDevice Device;
    int Error = 0;
};

PortOpening::PortOpening(int port) : m_port(port), m_shared(std::make_shared<Shared>())
{
    std::thread([shared = m_shared, port, self = this] {
        PortDevice device = OpenPortDevice(port);
        const int error = device.fd < 0 ? errno : 0;
        std::lock_guard lock(shared->Mutex);
        if (shared->Abandoned) {
            ClosePortDevice(device);
            return;
        }
        shared->Device = device;
        shared->Error = error;
        shared->Done = true;
        // Posted while the owner cannot be deleted (its destructor waits for the lock); an
        // event posted to an object deleted later is dropped with it.
        auto* done = new QEvent(DoneEvent());
        cia_events::HandedOver(done);
        QCoreApplication::postEvent(self, done);
    }).detach();
}

QEvent::Type PortOpening::DoneEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PortOpening::event(QEvent* e)
{
    cia_events::TakenOver(e); // before anything of it is read, its type too
    if (e->type() != DoneEvent())
        return QObject::event(e);
    Q_EMIT Finished();
    return true;
}

PortOpening::~PortOpening()
{
    std::lock_guard lock(m_shared->Mutex);
    m_shared->Abandoned = true;
    if (m_shared->Device.fd >= 0)
        ClosePortDevice(m_shared->Device);
}

bool PortOpening::Done() const
{
    std::lock_guard lock(m_shared->Mutex);
    return m_shared->Done;
}

PortDevice PortOpening::TakeDevice()
{
    std::lock_guard lock(m_shared->Mutex);
    m_shared->Taken = true;
    return std::exchange(m_shared->Device, PortDevice{});
}

bool PortOpening::Taken() const
{
    std::lock_guard lock(m_shared->Mutex);
    return m_shared->Taken;
}

int PortOpening::Error() const
{
    std::lock_guard lock(m_shared->Mutex);
    return m_shared->Error;
}
