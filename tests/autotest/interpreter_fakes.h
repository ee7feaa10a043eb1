#pragma once

#include "autotest/interpreter.h"
#include "autotest/result_table.h"
#include "autotest/run_host.h"
#include "autotest/run_link.h"
#include "autotest/run_state.h"
#include "autotest/table_file.h"
#include "sequence/step_grid.h"

#include <QMap>
#include <QStringList>
#include <gtest/gtest.h>

// The test window as the interpreter sees it: check boxes, fields and timer as plain values.
class FakeHost : public TestHost {
public:
    void SetTimer(bool on) override { timer = on; }
    bool TimerEnabled() const override { return timer; }
    TestOptions Options() const override { return options; }
    TestHeader HeaderFields() const override { return fields; }
    void SetSerialField(const QString& text) override { fields.SerialText = text; }
    void RunStarted(bool newReport) override { newReports += newReport ? 1 : 0; }
    void ShowStepNumber(const QString& nr) override { stepNumber = nr; }
    void ShowStepFields(const QString& l, const QString& u, const QString& c) override
    {
        lower = l;
        upper = u;
        comment = c;
    }
    void SetResultText(const QString& text) override
    {
        result = text;
        resultHistory.append(text);
    }
    void SetResultRed(bool on) override { red = on; }
    void ShowMessage(const QString& text) override { messages.append(text); }
    void StepRecorded(const QStringList& cells, bool shown) override
    {
        steps.append((shown ? QString() : QStringLiteral("hidden ")) + cells.join(';'));
    }
    void RunError(const QString& reason) override { runErrors.append(reason); }
    void LateReply(const QString& text) override { late.append(text); }

    bool timer = false;
    TestOptions options;
    TestHeader fields;
    int newReports = 0;
    QString stepNumber, lower, upper, comment, result;
    QStringList resultHistory;
    bool red = false;
    QStringList messages;
    QStringList steps;
    QStringList runErrors;
    QStringList late;
};

// Every line the interpreter sends, by way; GPIB queries are answered from a table.
class FakeLink : public TestLink {
public:
    bool SerialLink() const override { return serial; }
    bool WriteInstrument(const QByteArray& line, QString& error) override
    {
        if (portClosed) {
            error = QStringLiteral("Port not open");
            return false;
        }
        sent.append(QString::fromLatin1(line.chopped(1)));
        return true;
    }
    void WriteAuxiliary(int port, const QByteArray& line) override
    {
        aux.append(QStringLiteral("COM%1 ").arg(port) + QString::fromLatin1(line));
    }
    bool WriteMeter(const QByteArray& line, QString&) override
    {
        meter.append(QString::fromLatin1(line));
        return true;
    }
    int MeterPort() override { return meterPort; }
    // A query without an entry in gpibReplies is a failed read.
    bool GpibExchange(int address, const QByteArray& line, bool query,
                      std::optional<QByteArray>& reply) override
    {
        if (gpibBusy)
            return false;
        const QString text = QString::fromLatin1(line.chopped(1));
        sent.append(address == 0 ? text : QStringLiteral("GPIB%1 ").arg(address) + text);
        if (query && gpibReplies.contains(text))
            reply = gpibReplies.value(text);
        return true;
    }

    bool serial = true;
    bool portClosed = false;
    bool gpibBusy = false;
    int meterPort = 3;
    QMap<QString, QByteArray> gpibReplies;
    QStringList sent;
    QStringList aux;
    QStringList meter;
};

// One test row: the cells a test cares about, the rest as a new row has them.
struct Row {
    QString command = QString();
    QString time = QStringLiteral("00.00.00.000");
    QString value1 = QStringLiteral("0");
    QString value3 = QStringLiteral("0");
    QString lower = QString();
    QString upper = QString();
    QString comment = QString();
    QString show = QStringLiteral("1");
};

// A new test table, an interpreter over it and the fakes around it.
class InterpreterTest : public ::testing::Test {
protected:
    InterpreterTest() : table(kTestColumns, kTestRows)
    {
        InitStepGrid(table, TestTableKind());
        run.WindowCreated();
    }

    void Put(int row, const Row& r)
    {
        table.SetRow(row, {StepNumberText(row), r.time, r.command, r.value1, "0", r.value3, r.lower,
                           r.upper, r.comment, r.show});
    }
    // Runs ticks while the timer is on, at most max of them; returns how many ran.
    int RunTicks(int max = 1000)
    {
        int n = 0;
        while (host.timer && n < max) {
            run.Tick();
            ++n;
        }
        return n;
    }
    // Ticks until the link has sent `count` lines in all (or the timer stops).
    int TicksUntilSent(int count, int max = 1000)
    {
        int n = 0;
        while (host.timer && link.sent.size() < count && n < max) {
            run.Tick();
            ++n;
        }
        return n;
    }
    QStringList ResultRow(int row) const { return results.Row(row); }

    MemoryStepGrid table;
    TestRunState state;
    ResultTable results;
    FakeHost host;
    FakeLink link;
    TestInterpreter run{table, state, results, host, link};
};
