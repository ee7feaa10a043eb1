// The runner over GPIB, in this process, against the simulated libgpib.so.0 loaded by name as
// the program loads the real one: the instrument at address 5.
#include "program/program_state.h"
#include "run/runner.h"
#include "tests/support/pty_link.h"
#include "tests/support/qt_print.h"
#include "tests/support/sim_gpib_controls.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

class RunnerGpib : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
        sim.Reset();
        QDir::setCurrent(dir.path());
        QFile f(dir.filePath("unit.tst"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Test-File:\r\nReporter:;R\r\nUnit:;U\r\nSerial #:;S1\r\n\r\n"
                " 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1\r\n"
                " 2;00.00.00.100;OUTP,1;0;0;0;;;;1\r\n"
                " 3;00.00.00.100;MEAS:VOLT?;0;0;0;225;235;UAC;1\r\n"
                " 4;00.00.00.100;OUTP,0;0;0;0;;;;1\r\n"
                " 5;00.00.00.000;END;0;0;0;;;;1\r\n");
        options.TestFile = f.fileName();
        options.ReportFile = dir.filePath("r.rpt");
    }
    void TearDown() override { QDir::setCurrent(QDir::rootPath()); }

    int Run()
    {
        std::FILE* out = std::tmpfile();
        int status = -1;
        {
            RunnerConsole console(out, false, false);
            ProgramState state;
            TestRunner runner(state.Link, state.Panel, state.Places, state.Test, options, console);
            status = runner.Exec();
        }
        std::rewind(out);
        char buffer[4096];
        const size_t n = std::fread(buffer, 1, sizeof buffer, out);
        std::fclose(out);
        err = QString::fromLocal8Bit(buffer, static_cast<qsizetype>(n));
        return status;
    }

    QStringList WrittenLines() const
    {
        QStringList lines;
        for (const QByteArray& w : sim.Writes())
            lines << QString::fromLatin1(w).trimmed();
        return lines;
    }

    PortSandbox sandbox; // no serial port of the machine is opened
    SimGpibControls sim;
    QTemporaryDir dir;
    RunnerOptions options;
    QString err;
};

TEST_F(RunnerGpib, PassingTableByAddressEndsWithTheDeviceClearedAndLocal)
{
    options.GpibAddress = 5;
    EXPECT_EQ(Run(), TestRunner::kPassed) << err.toStdString();
    EXPECT_EQ(WrittenLines(),
              QStringList({"*idn?", "*opt?", "SOUR:VOLTAC,230", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));
    const QStringList calls = sim.CallLog();
    ASSERT_GE(calls.size(), 2);
    EXPECT_TRUE(calls[calls.size() - 2].startsWith("ibclr(")) << calls.join('\n').toStdString();
    EXPECT_TRUE(calls.last().startsWith("ibloc("));
    QFile report(options.ReportFile);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().contains(" 3;UAC;225.000;230.000;235.000;\r\n"));
}

TEST_F(RunnerGpib, DeviceByNameFromTheConfiguredName)
{
    options.GpibName = QStringLiteral("TAV-PS");
    EXPECT_EQ(Run(), TestRunner::kPassed) << err.toStdString();
    EXPECT_EQ(WrittenLines().size(), 6); // "*idn?" and "*opt?" first
}

TEST_F(RunnerGpib, NoDeviceAtTheAddressIsARunError)
{
    options.GpibAddress = 9;
    EXPECT_EQ(Run(), TestRunner::kRunError);
    EXPECT_TRUE(err.contains("GPIB address 9")) << err.toStdString();
}

// A read that fails ("IBRD failed") measured nothing: the row is "no reply" and fails, and the
// run goes on with the table as the test window does.
TEST_F(RunnerGpib, SilentInstrumentFailsItsQueryAndTheRunGoesOn)
{
    options.GpibAddress = 5;
    sim.SetSilent(5, true);
    EXPECT_EQ(Run(), TestRunner::kFailed) << err.toStdString();
    EXPECT_TRUE(err.contains("FAILED: 4 rows recorded, 1 failed")) << err.toStdString();
    // An instrument that does not say what it is is asked nothing more before the rows.
    EXPECT_EQ(WrittenLines(),
              QStringList({"*idn?", "SOUR:VOLTAC,230", "OUTP,1", "MEAS:VOLT?", "OUTP,0"}));
    QFile report(options.ReportFile);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray bytes = report.readAll();
    EXPECT_TRUE(bytes.contains(" 3;UAC;225.000;no reply;235.000;Error!\r\n"))
        << bytes.toStdString();
}

} // namespace
