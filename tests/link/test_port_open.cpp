#include "link/cia_com_port.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_wait.h"

#include <gtest/gtest.h>
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
