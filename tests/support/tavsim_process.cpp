#include "tests/support/tavsim_process.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

TavsimProcess::TavsimProcess(const QString& linkPath, const QString& logPath,
                             const QStringList& extra)
    : m_log(logPath)
{
    // A link left by an earlier run that was killed must not pass for this one's.
    QFile::remove(linkPath);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TAVSIM_PATH),
                    QStringList{"--link", linkPath, "--log", logPath} + extra);
    if (!m_process.waitForStarted(20000))
        return;
    for (int i = 0; i < 2000 && !m_ready; ++i) {
        m_ready = QFileInfo(linkPath).isSymLink();
        if (!m_ready)
            QThread::msleep(10);
    }
}

TavsimProcess::~TavsimProcess() { Kill(); }

void TavsimProcess::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate(); // lets it remove its link
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
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
