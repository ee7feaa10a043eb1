#include "tests/support/tavsim_process.h"

#include "tests/support/build_paths.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

TavsimProcess::TavsimProcess(const QString& linkPath, const QString& logPath,
                             const QStringList& extra)
    : m_log(logPath)
{
    // A link left by an earlier run that was killed must not pass for this one's.
    QFile::remove(linkPath);
    // A test binary that crashes takes its simulator with it.
    std::vector<QByteArray> args{QByteArray(kTavsimPath), "--exit-with-parent"};
    for (const QString& a : QStringList{"--link", linkPath, "--log", logPath} + extra)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (m_pid < 0)
        return;
    for (int i = 0; i < 2000 && !m_ready; ++i) {
        // A pseudo-terminal's link, or with --tcp the entry file naming the socket.
        const QFileInfo published(linkPath);
        m_ready = published.isSymLink() || published.isFile();
        if (!m_ready)
            QThread::msleep(10);
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
    }
}

TavsimProcess::~TavsimProcess() { Kill(); }

void TavsimProcess::Kill()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM); // lets it remove its link
    for (int i = 0; i < 500; ++i) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        QThread::msleep(10);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

std::vector<TavsimProcess::LogLine> TavsimProcess::Received() const
{
    std::vector<LogLine> lines;
    QFile f(m_log);
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const int tab = raw.indexOf('\t');
        if (tab < 0)
            continue;
        lines.push_back({raw.left(tab).toLongLong(), QString::fromLatin1(raw.mid(tab + 1))});
    }
    return lines;
}
