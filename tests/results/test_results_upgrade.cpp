// A results database an older program made, its added columns there already but not the
// indexes made since, or one marked with an older level of additions: opened by this program
// it has every index a new one has, and this program's mark, on the line's server and on a
// station's journal alike.
#include "results/results_database.h"
#include "results/results_schema.h"
#include "tests/results/pg_cluster.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

namespace {

// The tables as they were when the table version, slot and rack run columns came, with the
// index of the version: the statistics' index on steps and the station's index came later.
// Marked: by a program that kept the additions' level, at the first.
QStringList OlderTables(bool server, bool marked)
{
    const QString journal =
        server ? QString() : QStringLiteral(", pid BIGINT, sent INTEGER NOT NULL DEFAULT 0");
    return {
        marked ? "CREATE TABLE results_schema (version INTEGER NOT NULL, additions INTEGER)"
               : "CREATE TABLE results_schema (version INTEGER NOT NULL)",
        marked ? "INSERT INTO results_schema (version, additions) VALUES (1, 1)"
               : "INSERT INTO results_schema (version) VALUES (1)",
        "CREATE TABLE runs (uuid TEXT PRIMARY KEY, station TEXT, operator TEXT, program_version "
        "TEXT, table_path TEXT, table_name TEXT, table_sha256 TEXT, reporter TEXT, unit TEXT, "
        "serial TEXT, link TEXT, instrument TEXT, started_ms BIGINT NOT NULL, started_text TEXT, "
        "ended_ms BIGINT, ended_text TEXT, duration_ms BIGINT, verdict TEXT NOT NULL DEFAULT '', "
        "reason TEXT" +
            journal + ", table_version TEXT, slot TEXT, rack_run TEXT)",
        "CREATE INDEX runs_serial ON runs (serial, started_ms)",
        "CREATE INDEX runs_table ON runs (table_name, started_ms)",
        "CREATE INDEX runs_unit ON runs (unit, started_ms)",
        "CREATE INDEX runs_started ON runs (started_ms)",
        "CREATE INDEX runs_version ON runs (table_name, table_version, started_ms)",
        "CREATE TABLE steps (run_uuid TEXT NOT NULL, ord INTEGER NOT NULL, step TEXT, command "
        "TEXT, comment TEXT, lower_text TEXT, lower_number DOUBLE PRECISION, upper_text TEXT, "
        "upper_number DOUBLE PRECISION, value_text TEXT, value_number DOUBLE PRECISION, mark "
        "TEXT, shown INTEGER, elapsed_ms BIGINT, PRIMARY KEY (run_uuid, ord))",
        server ? "SELECT 1" : "CREATE INDEX runs_sent ON runs (sent)",
    };
}

// Every index of the database, named with what it covers, a line each.
std::string Indexes(const QString& connection)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    QSqlQuery q(db);
    EXPECT_TRUE(q.exec(ResultsSchema::IsServer(db)
                           ? "SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = "
                             "current_schema() ORDER BY indexname"
                           : "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND sql "
                             "IS NOT NULL ORDER BY name"));
    QStringList indexes;
    while (q.next())
        indexes << q.value(0).toString() + ": " + q.value(1).toString();
    const ResultsSchema::Mark mark = ResultsSchema::ReadMark(db);
    indexes << QStringLiteral("mark: %1 %2").arg(mark.Version).arg(mark.Additions);
    return indexes.join('\n').toStdString();
}

// Opened as this program opens it, the indexes read and the connection closed.
std::string IndexesOpened(const QString& uri, const QString& journal = {})
{
    QString error;
    const bool opened = journal.isEmpty()
                            ? ResultsDatabase::OpenServer("upgraded", uri, &error)
                            : ResultsDatabase::OpenJournal("upgraded", journal, &error);
    EXPECT_TRUE(opened) << error.toStdString();
    const std::string indexes = opened ? Indexes("upgraded") : std::string();
    ResultsDatabase::Close("upgraded");
    return indexes;
}

TEST(ResultsUpgrade, AnOlderDatabaseGetsEveryIndexANewOneHas)
{
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    const std::string serverIndexes = IndexesOpened(cluster.Uri());
    EXPECT_NE(serverIndexes.find("steps_figures: "), std::string::npos) << serverIndexes;
    QProcess psql;
    psql.start("psql", {"-q", "-v", "ON_ERROR_STOP=1", cluster.Uri()});
    ASSERT_TRUE(psql.waitForStarted(20000));
    EXPECT_NE(serverIndexes.find("mark: 1 " + std::to_string(ResultsSchema::kAdditions)),
              std::string::npos)
        << serverIndexes;
    const QString older = QString(cluster.Uri()).replace("@/postgres?", "@/older?");
    const QString marked = QString(cluster.Uri()).replace("@/postgres?", "@/marked?");
    psql.write("CREATE DATABASE older;\n\\c " + older.toUtf8() + "\n" +
               OlderTables(true, false).join(";\n").toUtf8() + ";\nCREATE DATABASE marked;\n\\c " +
               marked.toUtf8() + "\n" + OlderTables(true, true).join(";\n").toUtf8() + ";\n");
    psql.closeWriteChannel();
    ASSERT_TRUE(psql.waitForFinished(30000));
    ASSERT_EQ(psql.exitCode(), 0) << psql.readAllStandardError().toStdString();
    EXPECT_EQ(IndexesOpened(older), serverIndexes);
    EXPECT_EQ(IndexesOpened(marked), serverIndexes);

    QTemporaryDir dir;
    const std::string journalIndexes = IndexesOpened({}, dir.filePath("new.sqlite"));
    EXPECT_NE(journalIndexes.find("runs_station: "), std::string::npos) << journalIndexes;
    for (const bool marked : {false, true}) {
        const QString file = dir.filePath(marked ? "marked.sqlite" : "older.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
            db.setDatabaseName(file);
            ASSERT_TRUE(db.open());
            for (const QString& sql : OlderTables(false, marked))
                ASSERT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
        }
        QSqlDatabase::removeDatabase("older");
        EXPECT_EQ(IndexesOpened({}, file), journalIndexes) << marked;
    }
}

} // namespace
