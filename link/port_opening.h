#pragma once

#include "link/serial_device.h"

#include <QEvent>
#include <QObject>
#include <memory>

// A port's device opened on a thread of its own: a network port's name lookup and connect may
// take seconds, and the thread that asked — an event loop that every slot of a rack shares, or
// a window — goes on meanwhile. Finished is posted to the thread that made the object. Deleted
// before it finished, the opening is abandoned: the device is closed as soon as it is open.
class PortOpening : public QObject {
    Q_OBJECT

public:
    explicit PortOpening(int port);
    ~PortOpening() override;

    int Port() const { return m_port; }
    bool Done() const;
    // Once Finished: the device (fd < 0 when it could not be opened, Error() then says why as
    // an errno), handed over once.
    PortDevice TakeDevice();
    bool Taken() const;
    int Error() const;

Q_SIGNALS:
    void Finished();

protected:
    bool event(QEvent* e) override;

private:
    static QEvent::Type DoneEvent();
    struct Shared;
    int m_port;
    std::shared_ptr<Shared> m_shared;
};
