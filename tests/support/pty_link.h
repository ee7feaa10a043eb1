#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <functional>
#include <string>

// A sandbox of COM ports: a temporary folder whose ports/COMn links point at pseudo-terminals
// this test holds the far (master) end of. It points the program's port lookup at itself and
// has no /dev/ttyS fallback, so the machine's own ports never show up.
class PortSandbox {
public:
    PortSandbox();
    ~PortSandbox();

    std::string LinkDir() const;
    std::string DevDir() const;
};

// One pseudo-terminal published as COM n in the current sandbox. The slave end stays open here
// too, so the master never sees a hang-up while the port under test is closed.
class PtyLink {
public:
    PtyLink(const PortSandbox& sandbox, int port);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    int Master() const { return m_master; }
    void Write(const QByteArray& bytes);
    // Reads what the program sent until `want` bytes have come or the time-out passes.
    QByteArray Read(size_t want, int timeoutMs = 20000);
    // Reads what the program sent until `count` line feeds have come or the time-out passes.
    QByteArray ReadLines(int count, int timeoutMs = 20000);
    // Hangs up the far end, like a pulled adapter or a killed instrument.
    void HangUp();

private:
    QByteArray ReadUntil(const std::function<bool(const QByteArray&)>& enough, int timeoutMs);

    int m_master = -1;
    int m_slave = -1;
    std::string m_link;
};
