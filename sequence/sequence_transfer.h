#pragma once

#include "sequence/step_grid.h"

#include <QByteArray>
#include <QString>

// The code a "Command" cell is sent as: a keyword's number ("UAC" -> "4", "END" -> "255"), or
// the cell unchanged when it is no keyword (exact, case-sensitive).
QString SequenceCommandCode(const QString& cell);

// Writes the sequence table into the instrument: every 600 ms a row, and within it five
// commands 60 ms apart (time, frequency, value 1, value 2, and the code with NEW or SET).
// Nothing waits for replies; the two window timers pace it.
class SequenceTransfer {
public:
    // A row every kRowTimerMs, and its five commands kCommandTimerMs apart within it.
    static constexpr int kRowTimerMs = 600;
    static constexpr int kCommandTimerMs = 60;

    class Host {
    public:
        virtual ~Host() = default;
        virtual void SendLine(const QByteArray& line) = 0; // may raise a port error
        virtual void SetRowTimer(bool on) = 0;
        virtual void SetCommandTimer(bool on) = 0;
        virtual void SetTransferEnabled(bool on) = 0;
        virtual QString CountText() const = 0;
    };

    SequenceTransfer(const StepGrid& table, Host& host) : m_table(table), m_host(host) {}

    // "Transfer SEQ": from row 1 again, whatever an earlier transfer left.
    void Start();
    // The 600 ms row timer.
    void RowTick();
    // The 60 ms command timer.
    void CommandTick();
    // Ends a transfer that cannot go on (its port failed): both timers off, button enabled.
    void Abort();

    int RowCounter = 0;
    int StepCounter = 0;

private:
    // Back to before the first row: the one place a transfer's counters start afresh.
    void Reset();
    void Send(const char* command, const QString& text);

    const StepGrid& m_table;
    Host& m_host;
};
