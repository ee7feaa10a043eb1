#include "results/instrument_source.h"

#include "results/results_database.h"

#include <QMetaObject>
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
        QMetaObject::invokeMethod(
            this,
            [this, server, why] {
                if (server)
                    m_entries = InstrumentList::Merged(m_file, *server);
                else
                    m_warning = QStringLiteral("the line's list of instruments could not be "
                                               "read (the station's own serves): %1")
                                    .arg(why);
                m_loaded = true;
                Q_EMIT LoadedNow();
            },
            Qt::QueuedConnection);
    });
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
