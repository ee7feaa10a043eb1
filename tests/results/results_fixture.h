#pragma once

#include "results/results_database.h"
#include "tests/support/build_paths.h"
#include "tests/tools/tavtest_fixture.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <memory>

// tavtest runs whose journal lies in the test's folder, read back with SQL.
class ResultsFixture : public TavtestFixture {
protected:
    // The runners' configuration keeps no station name: the host's is theirs.
    QString JournalFile(const QString& station = ResultsDatabase::HostStation()) const
    {
        return File(QStringLiteral("data/tavcontrol/journal-%1.sqlite").arg(station));
    }

    // One number from a journal; -1 when it cannot be read.
    long long JournalNumber(const QString& sql,
                            const QString& station = ResultsDatabase::HostStation()) const
    {
        const QString name = QUuid::createUuid().toString();
        const QString file = JournalFile(station);
        long long value = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (QFile::exists(file) && db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql) && q.next())
                    value = q.value(0).toLongLong();
            }
        }
        QSqlDatabase::removeDatabase(name);
        return value;
    }

    // Lines of the database drivers or the server that reached standard error: none may.
    static QStringList DriverLines(const QString& text)
    {
        static const QRegularExpression raw(
            QStringLiteral("QSql|QPSQL|QSQLITE|NOTICE:|FATAL:|ERROR:|WARNING:|Unable to "));
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (line.contains(raw))
                lines << line;
        return lines;
    }

    // A further tavtest beside the fixture's own, with the same journal; its ports are looked
    // up in the configuration folder given (one per runner: each opens every port it finds).
    std::unique_ptr<QProcess> StartTavtest(const QStringList& arguments,
                                           const QString& config = QStringLiteral("cfg"))
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), File(config));
        env.insert(QStringLiteral("XDG_DATA_HOME"), File(QStringLiteral("data")));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(File(QString()));
        p->start(QString::fromUtf8(kTavtestPath), arguments);
        p->closeWriteChannel();
        EXPECT_TRUE(p->waitForStarted(20000));
        return p;
    }
};
