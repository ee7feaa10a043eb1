// The watch for a lost port's device: a USB adapter's /dev/serial/by-id link, which udev removes
// together with its folder when the last adapter goes, coming back. A temporary folder stands in
// for /dev, a pseudo-terminal for the adapter's tty.
#include "link/port_return_watch.h"
#include "link/serial_device.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace {

class PortReturnWatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(openpty(&m_master, &m_slave, m_tty, nullptr, nullptr), 0);
        m_adapter = ById() + "/usb-TAV_Adapter_A1B2C3-if00-port0";
        m_comLink = sandbox.LinkDir() + "/COM3";
        PlugIn();
        ASSERT_EQ(symlink(m_adapter.c_str(), m_comLink.c_str()), 0);
    }
    void TearDown() override
    {
        unlink(m_comLink.c_str());
        close(m_master);
        close(m_slave);
    }

    std::string Serial() const { return m_dev.filePath("serial").toStdString(); }
    std::string ById() const { return Serial() + "/by-id"; }
    void PlugIn()
    {
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ById())));
        ASSERT_EQ(symlink(m_tty, m_adapter.c_str()), 0);
    }
    // What udev does when the last adapter goes: the link first, then its emptied folders.
    void PullOut() { ASSERT_EQ(unlink(m_adapter.c_str()), 0); }
    void RemoveFolder(const std::string& folder) { ASSERT_EQ(rmdir(folder.c_str()), 0); }

    // The port's own test for being back: its device opens.
    bool TryBack()
    {
        ++tries;
        const int fd = OpenSerialDevice(SerialDevicePath(3));
        if (fd < 0)
            return false;
        CloseSerialDevice(fd);
        back = true;
        return true;
    }

    PortSandbox sandbox;
    int tries = 0;
    bool back = false;

private:
    QTemporaryDir m_dev;
    int m_master = -1;
    int m_slave = -1;
    char m_tty[256] = {};
    std::string m_adapter;
    std::string m_comLink;
};

} // namespace

// Each way the folder goes, the device must be noticed once it is back, by the watch alone: the
// return comes after the watch's one late look, and nothing is polled.
TEST_F(PortReturnWatchTest, AdapterWhoseFolderWentWithItIsNoticedWhenItComesBack)
{
    struct Case {
        const char* name;
        bool folderGoesLater; // removed only once the watch has begun, as a slow udev does
        bool parentToo;       // /dev/serial goes as well
    };
    const Case cases[] = {
        {"folder gone before the watch", false, false},
        {"folder gone while watched", true, false},
        {"folder and its parent gone", false, true},
    };
    for (const Case& c : cases) {
        tries = 0;
        back = false;
        PullOut();
        if (!c.folderGoesLater)
            RemoveFolder(ById());
        if (c.parentToo)
            RemoveFolder(Serial());

        PortReturnWatch watch;
        watch.Start(SerialDevicePlaces(3), [this] { return TryBack(); });
        ASSERT_TRUE(watch.Notified()) << c.name;
        if (c.folderGoesLater) {
            PumpEvents(50);
            RemoveFolder(ById());
        }
        PumpEvents(PortReturnWatch::kCheckMs + 300);
        EXPECT_GE(tries, 1) << c.name << ": the late look";
        EXPECT_FALSE(back) << c.name;

        // The folder first, seen by the watch before the link appears in it: the link's
        // creation is then an event in a folder the watch must have added by itself.
        const int before = tries;
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(ById())));
        WaitUntil([&] { return tries > before; }, 2000);
        PlugIn();
        EXPECT_TRUE(WaitUntil([&] { return back; }, 5000)) << c.name;
        EXPECT_FALSE(watch.Watching()) << c.name << ": a watch that found the port ends";
    }
}
