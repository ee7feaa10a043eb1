#pragma once

#include "tests/support/build_paths.h"
#include "tests/support/tavsim_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// tavtest as a child process in a folder of its own, its COM ports looked up in that folder's
// configuration tree, where tavsim publishes itself as COM2 (the default link).
class TavtestFixture : public ::testing::Test {
protected:
    QString File(const QString& name) const { return m_dir.filePath(name); }
    QString PortLink(int port) const
    {
        return m_dir.filePath(QStringLiteral("cfg/tavcontrol/ports/COM%1").arg(port));
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("cfg/tavcontrol/ports")));
    }

    std::unique_ptr<TavsimProcess> StartSim(const QStringList& extra = {})
    {
        auto sim = std::make_unique<TavsimProcess>(PortLink(2), File("sim.log"), extra);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }

    // A .tst with the given step lines (without numbers), lines ended by CR LF.
    QString WriteTable(const QString& name, const QStringList& rows,
                       const QString& serial = "0505000120")
    {
        QByteArray text = "Test-File:\r\nReporter:;Line 3\r\nUnit:;TAV 1600\r\nSerial #:;" +
                          serial.toLatin1() + "\r\n\r\n";
        for (int i = 0; i < rows.size(); ++i)
            text += QStringLiteral("%1;%2\r\n").arg(i + 1, 2).arg(rows[i]).toLatin1();
        QFile f(File(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }

    // tavtest's environment: its ports and its results journal in the test's folder, no display
    // and no session folder, as a job or a service runs it.
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("cfg")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        return env;
    }
    // A further instrument, as COM n.
    std::unique_ptr<TavsimProcess> StartSimOn(int port, const QStringList& extra = {})
    {
        auto sim = std::make_unique<TavsimProcess>(
            PortLink(port), File(QStringLiteral("sim%1.log").arg(port)), extra);
        EXPECT_TRUE(sim->Ready());
        return sim;
    }

    void Start(const QStringList& arguments)
    {
        process.setProcessEnvironment(Environment());
        process.setWorkingDirectory(m_dir.path());
        process.start(QString::fromUtf8(kTavtestPath), arguments);
        process.closeWriteChannel(); // standard input is no terminal
        ASSERT_TRUE(process.waitForStarted(20000));
    }
    // The exit status; standard error is left in err.
    int Finish()
    {
        EXPECT_TRUE(process.waitForFinished(90000));
        err = QString::fromLocal8Bit(process.readAllStandardError());
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    int Run(const QStringList& arguments)
    {
        Start(arguments);
        return Finish();
    }

    // What every run asks its instrument before the first row.
    static inline const QStringList kAsked{QStringLiteral("*idn?"), QStringLiteral("*opt?")};
    // Every line the instrument received so far.
    static QStringList SentLines(const TavsimProcess& sim)
    {
        QStringList lines;
        for (const auto& l : sim.Received())
            lines << l.line;
        return lines;
    }

    QByteArray Bytes(const QString& name) const
    {
        QFile f(File(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList Lines(const QString& name) const
    {
        return QString::fromLatin1(Bytes(name)).split(QStringLiteral("\r\n"));
    }

    QProcess process;
    QString err;
    QString out;

private:
    QTemporaryDir m_dir;
};
