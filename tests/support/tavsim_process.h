#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// The simulated instrument as a child process, published as a link; killed with the object.
// Started with fork and exec rather than QProcess: Qt starts children with a vfork-like clone
// that ThreadSanitizer cannot follow, and every test with a simulator then reports races that
// are not there.
class TavsimProcess {
public:
    // Starts tavsim --exit-with-parent --link linkPath --log logPath plus the extra arguments and
    // waits for the link.
    TavsimProcess(const QString& linkPath, const QString& logPath, const QStringList& extra = {});
    ~TavsimProcess();

    bool Ready() const { return m_ready; }
    void Kill();

    struct LogLine {
        qint64 micros;
        QString line;
    };
    // Every line the instrument received so far.
    std::vector<LogLine> Received() const;

private:
    int m_pid = -1;
    QString m_log;
    bool m_ready = false;
};
