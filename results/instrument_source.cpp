#include "results/instrument_source.h"

#include "link/cia_events.h"
#include "results/results_database.h"

#include <QCoreApplication>

#include <QUuid>

InstrumentSource::InstrumentSource(const QString& serverUri, int timeoutMs)
{
    QString error;
    if (const auto file = InstrumentList::ReadFile(InstrumentList::FilePath(), &error))
        m_file = *file;
    else
        m_warning = QStringLiteral("list of instruments not read: %1").arg(error);
    m_entries = m_file;
    if (serverUri.isEmpty()) {
        m_loaded = true;
        return;
    }
    m_reader = std::thread([this, serverUri, timeoutMs] {
        const QString connection =
            QStringLiteral("instruments-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QString why;
        std::optional<QList<InstrumentEntry>> server;
        if (ResultsDatabase::OpenServer(connection, serverUri, &why, timeoutMs)) {
            {
                QSqlDatabase db = QSqlDatabase::database(connection, false);
                if (ResultsDatabase::SetServerTimeout(db, timeoutMs, &why))
                    server = InstrumentList::ReadServer(db, &why);
            }
            ResultsDatabase::Close(connection);
        }
        {
            // Handed over under the lock: the event that tells of it carries nothing.
            const std::lock_guard<std::mutex> lock(m_handOver);
            m_server = server;
            m_serverWhy = why;
        }
        auto* read = new QEvent(ReadEvent());
        cia_events::HandedOver(read);
        QCoreApplication::postEvent(this, read);
    });
}

QEvent::Type InstrumentSource::ReadEvent()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool InstrumentSource::event(QEvent* e)
{
    cia_events::TakenOver(e); // before anything of it is read, its type too
    if (e->type() != ReadEvent())
        return QObject::event(e);
    ServerRead();
    return true;
}

void InstrumentSource::ServerRead()
{
    {
        const std::lock_guard<std::mutex> lock(m_handOver);
        if (m_server)
            m_entries = InstrumentList::Merged(m_file, *m_server);
        else
            m_warning = QStringLiteral("the line's list of instruments could not be read (the "
                                       "station's own serves): %1")
                            .arg(m_serverWhy);
    }
    m_loaded = true;
    Q_EMIT LoadedNow();
}

InstrumentSource::~InstrumentSource()
{
    if (m_reader.joinable())
        m_reader.join();
}

void InstrumentSource::WhenLoaded(QObject* context, std::function<void()> callback)
{
    if (m_loaded) {
        callback();
        return;
    }
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(this, &InstrumentSource::LoadedNow, context, [once, callback] {
        QObject::disconnect(*once);
        callback();
    });
}
