// tavtest on a COM port that runs over the network: tavsim serving on a socket, and a real
// serial device server (ser2net) in front of tavsim's pseudo-terminal.
#include "tests/support/loopback.h"
#include "tests/support/qt_wait.h"
#include "tests/tools/tavtest_fixture.h"

#include <QFileInfo>

namespace {

const QStringList kNetworkRows = {
    "00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1",
    "00.00.00.200;OUTP,1;0;0;0;;;;1",
    "00.00.00.500;MEAS:VOLT?;0;0;0;225;235;UAC;1",
    "00.00.00.100;OUTP,0;0;0;0;;;;1",
    "00.00.00.000;END;0;0;0;;;;1",
};
const QStringList kSent = {"SOUR:VOLTAC,230", "OUTP,1", "MEAS:VOLT?", "OUTP,0"};

class TavtestNetwork : public TavtestFixture {
protected:
    // tavsim on a free loopback port, published as the entry COM7.
    std::unique_ptr<TavsimProcess> StartTcpSim()
    {
        auto sim = std::make_unique<TavsimProcess>(PortLink(7), File("sim.log"),
                                                   QStringList{"--tcp", "127.0.0.1:0"});
        EXPECT_TRUE(sim->Ready());
        return sim;
    }
    QString EntryUri() const
    {
        return QString::fromLatin1(Bytes("cfg/tavcontrol/ports/COM7")).trimmed();
    }
};

TEST_F(TavtestNetwork, TableRunsThroughACOMEntryAndThroughTheURINamedOutright)
{
    auto sim = StartTcpSim();
    const QString table = WriteTable("unit.tst", kNetworkRows);
    const QString uri = EntryUri();
    ASSERT_TRUE(uri.startsWith("tcp://127.0.0.1:")) << uri.toStdString();
    QStringList sent;
    for (const QString& port : {QStringLiteral("COM7"), uri}) {
        ASSERT_EQ(Run({table, "--port", port, "--report", "r.rpt"}), 0) << err.toStdString();
        EXPECT_EQ(Lines("r.rpt").value(9), " 3;UAC;225.000;230.000;235.000;");
        sent += kAsked + kSent;
    }
    EXPECT_EQ(SentLines(*sim), sent);
}

TEST_F(TavtestNetwork, LostPeerEndsTheRunWithExitTwoAndTheReportKept)
{
    auto sim = StartTcpSim();
    QStringList rows = kNetworkRows;
    // The run is still there when the peer goes.
    rows.insert(3, "00.01.00.000;SOUR:FREQ,60;0;0;0;;;;1");
    const QString table = WriteTable("unit.tst", rows);
    Start({table, "--port", "COM7", "--report", "r.rpt", "--junit", "j.xml"});
    ASSERT_TRUE(WaitUntil([&] { return SentLines(*sim).contains("SOUR:FREQ,60"); }, 60000));
    sim->Kill();
    EXPECT_EQ(Finish(), 2) << err.toStdString();
    EXPECT_TRUE(err.contains("COM7: instrument lost")) << err.toStdString();
    // Output-off goes out only over a link that is up: here it cannot, and the report says so.
    EXPECT_TRUE(err.contains("the output could NOT be switched off: the link is down"))
        << err.toStdString();
    const QStringList report = Lines("r.rpt");
    EXPECT_EQ(report.value(9), " 3;UAC;225.000;230.000;235.000;") << Bytes("r.rpt").toStdString();
    const QString junit = QString::fromUtf8(Bytes("j.xml"));
    EXPECT_TRUE(junit.contains("<error message=\"COM7: instrument lost")) << junit.toStdString();
}

TEST_F(TavtestNetwork, TableRunsThroughSer2netInFrontOfThePseudoTerminal)
{
    if (!QFileInfo(QStringLiteral("/usr/sbin/ser2net")).isExecutable())
        GTEST_SKIP() << "ser2net is not installed (Debian package ser2net): no device server";
    TavsimProcess sim(File("sim-tty"), File("sim.log"));
    ASSERT_TRUE(sim.Ready());
    QProcess server;
    const QString served = StartDeviceServer(
        server, File("sim-tty"), [](const auto& ready) { return WaitUntil(ready, 10000); });
    ASSERT_FALSE(served.isEmpty()) << server.readAll().toStdString();
    QFile entry(PortLink(7));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(served.toLatin1() + "\n");
    entry.close();

    const int status =
        Run({WriteTable("unit.tst", kNetworkRows), "--port", "COM7", "--report", "r.rpt"});
    server.terminate();
    server.waitForFinished();
    ASSERT_EQ(status, 0) << err.toStdString() << server.readAll().toStdString();
    EXPECT_EQ(SentLines(sim), kAsked + kSent);
    EXPECT_EQ(Lines("r.rpt").value(9), " 3;UAC;225.000;230.000;235.000;");
}

} // namespace
