#pragma once

#include <QString>
#include <QTemporaryDir>

// A private PostgreSQL cluster in a temporary folder, reached on a Unix socket only, made with
// Debian's initdb and pg_ctl. The server never runs as root: as root (CI on a bare machine)
// it runs as "nobody". Stopped, and its files removed, with the object.
class PgCluster {
public:
    PgCluster();
    // A cluster kept in the folder given: made there the first time, used again by the next
    // object (a benchmark's large database is made once). Stopped with the object, never removed.
    explicit PgCluster(const QString& folder);
    ~PgCluster();
    PgCluster(const PgCluster&) = delete;
    PgCluster& operator=(const PgCluster&) = delete;

    // Makes the cluster the first time, then starts it and waits until it takes connections.
    bool Start(QString* error);
    bool Stop(QString* error = nullptr);

    // postgresql://USER@/postgres?host=SOCKET_FOLDER
    QString Uri() const;
    // One number from the server (SELECT COUNT(*) ...); -1 when it cannot be asked.
    long long Number(const QString& sql) const;

private:
    bool Run(const QString& program, const QStringList& arguments, QString* error) const;

    QString FilePath(const QString& name) const;

    QTemporaryDir m_temporary;
    QString m_folder; // the temporary one unless one was given
    QString m_user;
    bool m_made = false;
    bool m_running = false;
};
