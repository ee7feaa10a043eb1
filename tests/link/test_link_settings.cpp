#include "link/cia_com_port.h"
#include "link/link_settings.h"
#include "link/port_discovery.h"
#include "tests/support/pty_link.h"

#include "tests/support/file_bytes.h"
#include "tests/support/link_record.h"
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(LinkConfig, NoFileKeepsDefaultsAndWritesTheDefaultRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("TAVCON.cfg");
    LinkSettings s;
    const LinkConfigRead read = ReadLinkConfig(path, s);
    EXPECT_FALSE(read.found);
    EXPECT_TRUE(read.warning.isEmpty());
    ASSERT_TRUE(WriteLinkConfig(path, s));
    EXPECT_EQ(ReadFileBytes(path), LinkRecord(2, 0, 0, 0, "Device 1"));
}

TEST(LinkConfig, RecordRoundTripsByteForByte)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("TAVCON.cfg");
    // Reserved field, stale name bytes beyond the length and filler all set: all must survive.
    QByteArray rec = LinkRecord(7, -5, 2, 12, "GPIB0::12", '\xAA');
    ASSERT_TRUE(WriteFileBytes(path, rec));
    LinkSettings s;
    ReadLinkConfig(path, s);
    EXPECT_EQ(s.PortText, "7");
    EXPECT_EQ(s.Reserved, -5);
    EXPECT_EQ(s.IoType, 2);
    EXPECT_FALSE(s.SerialLink());
    EXPECT_EQ(s.GpibAddress, 12);
    EXPECT_EQ(s.GpibDeviceName, "GPIB0::12");
    ASSERT_TRUE(WriteLinkConfig(path, s));
    EXPECT_EQ(ReadFileBytes(path), rec);

    // A shorter name rewrites only its own bytes and the length.
    s.GpibDeviceName = "dmm";
    ASSERT_TRUE(WriteLinkConfig(path, s));
    QByteArray expected = rec;
    expected[16] = 3;
    expected.replace(17, 3, "dmm");
    EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(LinkConfig, LastRecordWinsAndLongNamesAreCut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("TAVCON.cfg");
    ASSERT_TRUE(
        WriteFileBytes(path, LinkRecord(1, 0, 0, 0, "first") + LinkRecord(4, 0, 1, 3, "second")));
    LinkSettings s;
    ReadLinkConfig(path, s);
    EXPECT_EQ(s.PortText, "4");
    EXPECT_EQ(s.IoType, 1);
    EXPECT_EQ(s.GpibDeviceName, "second");
    s.GpibDeviceName = "ABCDEFGHIJKLMNOPQRSTUVWXY"; // 25 characters
    ASSERT_TRUE(WriteLinkConfig(path, s));
    const QByteArray out = ReadFileBytes(path);
    ASSERT_EQ(out.size(), 40);
    EXPECT_EQ(out[16], 20);
    LinkSettings back;
    ReadLinkConfig(path, back);
    EXPECT_EQ(back.GpibDeviceName, "ABCDEFGHIJKLMNOPQRST");
}

TEST(LinkConfig, TruncatedFileUsesLastWholeRecordAndWarns)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("TAVCON.cfg");
    ASSERT_TRUE(WriteFileBytes(path, LinkRecord(5, 0, 0, 0, "x") + QByteArray(5, '\x01')));
    LinkSettings s;
    LinkConfigRead read = ReadLinkConfig(path, s);
    EXPECT_EQ(s.PortText, "5");
    EXPECT_FALSE(read.warning.isEmpty());

    ASSERT_TRUE(WriteFileBytes(path, QByteArray(25, '\x01')));
    LinkSettings d;
    read = ReadLinkConfig(path, d);
    EXPECT_EQ(d.PortText, "2");
    EXPECT_EQ(d.GpibDeviceName, "Device 1");
    EXPECT_FALSE(read.warning.isEmpty());
}

TEST(PortDiscovery, LogsEachPortAndOpensTheConfiguredOne)
{
    PortSandbox sandbox;
    PtyLink com1(sandbox, 1), com3(sandbox, 3), com4(sandbox, 4);
    LinkSettings s;
    s.PortText = "3";
    TCiaComPort port;
    port.SetPort(3);
    QStringList found, log;
    const bool opened =
        FindSerialPorts(s, port, found, [&](const QString& line) { log.append(line); });
    EXPECT_TRUE(opened);
    EXPECT_TRUE(port.Active());
    EXPECT_EQ(found, QStringList({"1", "3", "4"}));
    EXPECT_EQ(log, QStringList({"COM1: port found - Ports: 3", "COM3: port found - Ports: 3",
                                "COM3: port opend", "COM4: port found - Ports: 3"}));
}

TEST(PortDiscovery, GpibLinkListsButOpensNothingAndHeldPortsAreLeftOut)
{
    PortSandbox sandbox;
    PtyLink com1(sandbox, 1), com3(sandbox, 3);
    TCiaComPort other;
    other.SetPort(1);
    other.SetActive(true); // held by "another program"
    LinkSettings s;
    s.PortText = "3";
    s.IoType = 1;
    TCiaComPort port;
    port.SetPort(3);
    QStringList found, log;
    EXPECT_FALSE(FindSerialPorts(s, port, found, [&](const QString& line) { log.append(line); }));
    EXPECT_FALSE(port.Active());
    EXPECT_EQ(found, QStringList({"3"}));
    EXPECT_EQ(log, QStringList({"COM3: port found - Ports: 1"}));
}
