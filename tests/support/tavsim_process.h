#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <vector>

// The simulated instrument as a child process, published as a link; killed with the object.
class TavsimProcess {
public:
    // Starts tavsim --link linkPath --log logPath plus the extra arguments and waits for the link.
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
    QProcess m_process;
    QString m_log;
    bool m_ready = false;
};
