#include "link/cia_com_port.h"
#include "link/serial_device.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// A reply that reached the port before it was opened is still there for the first read: opening
// sets the line up and throws nothing away.
TEST(PortOpen, KeepsWhatArrivedBeforeTheOpen)
{
    PortSandbox sandbox;
    PtyLink link(sandbox, 4);
    link.Write("early\r\n");
    PumpEvents(50);

    TCiaComPort port;
    std::vector<QByteArray> lines;
    port.SetPort(4);
    port.SetBaudrate(19200);
    port.SetLineEnd("\r\n");
    port.SetLineMode(true);
    port.SetOnDataAvailable([&](TCiaComPort* p) { lines.push_back(p->ReadText()); });
    port.SetActive(true);
    link.Write("late\r\n");

    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2; }));
    EXPECT_EQ(lines[0], "early\r\n");
    EXPECT_EQ(lines[1], "late\r\n");
}

// Another program listing its ports looks at ours too, over and over, while we open ours: the
// look never refuses the open, and a port we hold is never listed as free.
TEST(PortOpen, ListingPortsNeverRefusesAnotherOpen)
{
    PortSandbox sandbox;
    PtyLink link(sandbox, 4);
    const std::string path = SerialDevicePath(4);
    std::atomic<int> listings = 0;
    std::thread lister([&] {
        for (; listings < 2000; ++listings) {
            QStringList found;
            ListSerialPorts(found);
        }
    });
    int refused = 0;
    while (listings < 2000) {
        const int fd = OpenSerialDevice(path);
        if (fd < 0) {
            ++refused;
            continue;
        }
        EXPECT_FALSE(SerialDeviceFree(path));
        CloseSerialDevice(fd);
    }
    lister.join();
    EXPECT_EQ(refused, 0);
}
