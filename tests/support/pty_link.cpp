#include "tests/support/pty_link.h"

#include "link/serial_device.h"

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
QTemporaryDir& SandboxDir()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

PortSandbox::PortSandbox()
{
    QDir(SandboxDir().path()).mkpath("ports");
    QDir(SandboxDir().path()).mkpath("dev");
    SetSerialPortFolders({LinkDir(), DevDir()});
}

PortSandbox::~PortSandbox() { SetSerialPortFolders(SerialPortFolders::FromEnvironment()); }

std::string PortSandbox::LinkDir() const { return SandboxDir().filePath("ports").toStdString(); }
std::string PortSandbox::DevDir() const { return SandboxDir().filePath("dev").toStdString(); }

PtyLink::PtyLink(const PortSandbox& sandbox, int port)
{
    termios tio{};
    cfmakeraw(&tio);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &tio, nullptr) != 0) {
        ADD_FAILURE() << "openpty failed: " << strerror(errno);
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_link = sandbox.LinkDir() + "/COM" + std::to_string(port);
    unlink(m_link.c_str());
    if (symlink(name, m_link.c_str()) != 0)
        ADD_FAILURE() << "symlink failed: " << strerror(errno);
}

PtyLink::~PtyLink()
{
    if (!m_link.empty())
        unlink(m_link.c_str());
    if (m_master >= 0)
        close(m_master);
    if (m_slave >= 0)
        close(m_slave);
}

void PtyLink::Write(const QByteArray& bytes)
{
    size_t done = 0;
    while (done < static_cast<size_t>(bytes.size())) {
        const ssize_t n = write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            ADD_FAILURE() << "write to pty failed: " << strerror(errno);
            return;
        }
        if (n > 0)
            done += static_cast<size_t>(n);
        else
            usleep(1000);
    }
}

QByteArray PtyLink::Read(size_t want, int timeoutMs)
{
    return ReadUntil(
        [want](const QByteArray& got) { return static_cast<size_t>(got.size()) >= want; },
        timeoutMs);
}

QByteArray PtyLink::ReadLines(int count, int timeoutMs)
{
    return ReadUntil([count](const QByteArray& got) { return got.count('\n') >= count; },
                     timeoutMs);
}

QByteArray PtyLink::ReadUntil(const std::function<bool(const QByteArray&)>& enough, int timeoutMs)
{
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!enough(got) && std::chrono::steady_clock::now() < deadline) {
        // The program's transmit continuation runs on this thread's event loop.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, 5) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            const ssize_t n = read(m_master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
        }
    }
    return got;
}

void PtyLink::HangUp()
{
    if (m_slave >= 0)
        close(m_slave);
    m_slave = -1;
    if (m_master >= 0)
        close(m_master);
    m_master = -1;
}
