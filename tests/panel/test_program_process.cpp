// The program itself, started as the operator starts it: its main window comes up first, and the
// start-up port discovery that follows it opens the instrument's port as before.
#include "link/serial_device.h"
#include "tests/support/qt_wait.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

TEST(ProgramProcess, OpensTheInstrumentPortOnceItsWindowIsUp)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("cfg/tavcontrol/ports")));
    const QString link = dir.filePath(QStringLiteral("cfg/tavcontrol/ports/COM2"));
    TavsimProcess sim(link, dir.filePath(QStringLiteral("sim.log")));
    ASSERT_TRUE(sim.Ready());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("cfg")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(TAVCONTROL_PATH), {});
    ASSERT_TRUE(program.waitForStarted());

    // The program holds the port exclusively once it has opened it.
    int lastErrno = 0;
    const bool held = WaitUntil([&] {
        const int fd = OpenSerialDevice(link.toStdString());
        if (fd >= 0) {
            CloseSerialDevice(fd);
            return false;
        }
        lastErrno = errno;
        return errno == EWOULDBLOCK;
    });
    EXPECT_TRUE(held) << "last open error " << lastErrno;
    EXPECT_EQ(program.state(), QProcess::Running);
    program.terminate();
    program.waitForFinished(10000);
}
