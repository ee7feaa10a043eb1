#pragma once

#include "results/instrument_list.h"

#include <QEvent>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// The station's instruments and their calibration days as runs look them up: the file read at
// once, and, when the line's server is given, the server's list read on a thread of its own
// (a server that does not answer holds up no slot's loop for its time-out). Until that read is
// over, a run that needs the list waits for it through WhenLoaded.
class InstrumentSource : public QObject {
    Q_OBJECT

public:
    // serverUri empty: the file alone.
    InstrumentSource(const QString& serverUri, int timeoutMs);
    ~InstrumentSource() override;

    bool Loaded() const { return m_loaded; }
    // Calls back at once when the list is there, else once it is (on this object's thread).
    void WhenLoaded(QObject* context, std::function<void()> callback);
    const QList<InstrumentEntry>& Entries() const { return m_entries; }
    // Why a list could not be read (the file's or the server's): the runs are told.
    const QString& Warning() const { return m_warning; }

Q_SIGNALS:
    void LoadedNow();

protected:
    bool event(QEvent* e) override;

private:
    static QEvent::Type ReadEvent();
    void ServerRead();

    QList<InstrumentEntry> m_file, m_entries;
    std::mutex m_handOver;
    std::optional<QList<InstrumentEntry>> m_server;
    QString m_serverWhy;
    QString m_warning;
    bool m_loaded = false;
    std::thread m_reader;
};
