#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

class RackView;

// What tavtest tells the person or job that runs it, on standard error: one line per recorded
// row, a progress bar when that is a terminal, warnings, errors and the closing summary.
// Quiet keeps only errors and the summary.
class RunnerConsole {
public:
    // out null: nothing is printed (a script's quiet run); warnings are kept all the same.
    RunnerConsole(std::FILE* out, bool quiet, bool terminal);

    // A recorded row: step, comment, lower limit, value, upper limit, mark, with the command
    // the row sent.
    void Row(const QStringList& cells, const QString& command);
    // Rows done of the rows up to the end row, and the time since the start.
    void Progress(int done, int total, qint64 elapsedMs);
    void Warning(const QString& text);
    // A warning shown even when quiet: what changed what the unit got.
    void Alert(const QString& text);
    // Every warning given, shown or kept quiet.
    const QStringList& Warnings() const { return m_warnings; }
    // What the run did to the instrument besides its rows; shown even when quiet.
    void Note(const QString& text);
    // The widest command the table holds, so that the columns after it line up on every row.
    void SetCommandWidth(int width);
    void Error(const QString& text);
    // Ends with the first failed row's value when the lines of the rows are not shown (a
    // rack's board).
    void Summary(int rows, int failed, const QString& runError, qint64 elapsedMs);
    // A result file kept under a name of its own, on standard output for scripts; on a rack's
    // board on the terminal that standard output is, it goes above the board instead.
    void Saved(const QString& path);
    // A question on the terminal (the bar is cleared first), and its answer typed.
    void Ask(const QString& text);
    void Answered();
    // Put before every line: one slot's lines among a rack's.
    void SetPrefix(const QString& prefix) { m_prefix = prefix; }
    const QString& Prefix() const { return m_prefix; }
    // Who speaks in warnings, errors and notes ("tavtest: "); a window's log needs none.
    void SetSpeaker(const QString& speaker) { m_speaker = speaker; }
    // A rack's live view on a terminal: rows and progress go to the slot's line there, every
    // other line is printed above it.
    void SetBoard(RackView* board, int slot)
    {
        m_board = board;
        m_boardSlot = slot;
    }

private:
    void ClearBar();
    void Line(const QString& text);

    std::FILE* m_out;
    bool m_quiet;
    bool m_terminal;
    bool m_barShown = false;
    int m_commandWidth = 16;
    QStringList m_warnings;
    QString m_prefix;
    QString m_firstFailure; // on a board: the first failed row, for the summary
    QString m_speaker = QStringLiteral("tavtest: ");
    RackView* m_board = nullptr;
    int m_boardSlot = 0;
};
