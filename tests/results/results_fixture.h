#pragma once

#include "results/results_database.h"
#include "tests/tools/tavtest_fixture.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>
#include <memory>

// tavtest runs whose journal lies in the test's folder, read back with SQL.
class ResultsFixture : public TavtestFixture {
protected:
    QString JournalFile() const
    {
        return File(QStringLiteral("data/tavcontrol/journal-%1.sqlite")
                        .arg(ResultsDatabase::Station()));
    }

    // One number from the journal; -1 when it cannot be read.
    long long JournalNumber(const QString& sql) const
    {
        const QString name = QUuid::createUuid().toString();
        long long value = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(JournalFile());
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
            if (QFile::exists(JournalFile()) && db.open()) {
                QSqlQuery q(db);
                if (q.exec(sql) && q.next())
                    value = q.value(0).toLongLong();
            }
        }
        QSqlDatabase::removeDatabase(name);
        return value;
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
        p->start(QStringLiteral(TAVTEST_PATH), arguments);
        p->closeWriteChannel();
        EXPECT_TRUE(p->waitForStarted(20000));
        return p;
    }
};
