#include "run/runner_console.h"

#include "autotest/report_verdict.h"
#include "run/rack_view.h"

#include <QDir>
#include <QRegularExpression>
#include <algorithm>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 30;

} // namespace

RunnerConsole::RunnerConsole(std::FILE* out, bool quiet, bool terminal)
    : m_out(out), m_quiet(quiet), m_terminal(terminal)
{}

void RunnerConsole::Line(const QString& text)
{
    if (!m_out)
        return;
    if (m_board) {
        m_board->Print(m_prefix + text);
        return;
    }
    ClearBar();
    std::fputs((m_prefix + text).toLocal8Bit().constData(), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void RunnerConsole::ClearBar()
{
    if (!m_barShown || !m_out)
        return;
    std::fputs("\r\033[K", m_out);
    m_barShown = false;
}

void RunnerConsole::Row(const QStringList& cells, const QString& command)
{
    if (m_quiet || cells.size() < 6)
        return;
    if (m_board) {
        if (cells[3].isEmpty()) // a command row: the last value stays in view
            return;
        if (!cells[5].isEmpty() && m_firstFailure.isEmpty())
            m_firstFailure = QStringLiteral("step %1: %2 %3 [%4 .. %5]")
                                 .arg(cells[0].trimmed(), cells[3], cells[5], cells[2], cells[4]);
        m_board->SetValue(m_boardSlot,
                          QStringLiteral("step %1: %2 %3")
                              .arg(cells[0].trimmed(), cells[3],
                                   cells[5].isEmpty() ? QStringLiteral("ok") : cells[5]));
        return;
    }
    // Step, command, result, limits, mark; a row without limits shows none.
    const QString limits = cells[2].isEmpty() && cells[4].isEmpty()
                               ? QString()
                               : QStringLiteral("[%1 .. %2]").arg(cells[2], cells[4]);
    Line(QStringLiteral("%1  %2  %3  %4  %5  %6")
             .arg(cells[0].trimmed(), 3)
             .arg(command, -m_commandWidth)
             .arg(cells[3], 10)
             .arg(limits, -22)
             .arg(cells[5].isEmpty() ? QStringLiteral("ok") : cells[5], cells[1])
             .replace(QRegularExpression(QStringLiteral(" +$")), QString()));
}

void RunnerConsole::Progress(int done, int total, qint64 elapsedMs)
{
    if (m_board) {
        m_board->SetRow(m_boardSlot, done, total);
        return;
    }
    if (m_quiet || !m_terminal || total <= 0)
        return;
    const int filled = std::min(kBarWidth, done * kBarWidth / total);
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.'));
    std::fprintf(m_out, "\r\033[K[%s] %d/%d rows  %s", bar.toLatin1().constData(), done, total,
                 ElapsedText(elapsedMs).toLatin1().constData());
    std::fflush(m_out);
    m_barShown = true;
}

void RunnerConsole::Warning(const QString& text)
{
    m_warnings << text;
    if (!m_quiet)
        Line(m_speaker + QStringLiteral("warning: ") + text);
}

void RunnerConsole::Alert(const QString& text)
{
    m_warnings << text;
    Line(m_speaker + QStringLiteral("warning: ") + text);
}

void RunnerConsole::Note(const QString& text) { Line(m_speaker + text); }

void RunnerConsole::SetCommandWidth(int width) { m_commandWidth = std::clamp(width, 16, 60); }

void RunnerConsole::Error(const QString& text)
{
    Line(m_speaker + QStringLiteral("error: ") + text);
}

void RunnerConsole::Answered()
{
    if (m_board)
        m_board->Answered();
}

void RunnerConsole::Ask(const QString& text)
{
    if (m_board) {
        m_board->Ask(m_prefix + text);
        return;
    }
    ClearBar();
    std::fputs((m_prefix + text).toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

void RunnerConsole::Summary(int rows, int failed, const QString& runError, qint64 elapsedMs)
{
    QString verdict = runError.isEmpty()
                          ? (failed ? QStringLiteral("FAILED") : QStringLiteral("PASSED"))
                          : QStringLiteral("ERROR");
    if (m_board)
        m_board->SetState(m_boardSlot, verdict);
    QString line = QStringLiteral("%1: %2 rows recorded, %3 failed, %4")
                       .arg(verdict)
                       .arg(rows)
                       .arg(failed)
                       .arg(ElapsedText(elapsedMs));
    if (m_board && !m_firstFailure.isEmpty())
        line += QStringLiteral(", first failed %1").arg(m_firstFailure);
    Line(line);
}

void RunnerConsole::Saved(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (m_board && m_out == stderr && isatty(STDOUT_FILENO) && isatty(STDERR_FILENO)) {
        m_board->Print(m_prefix + shown);
        return;
    }
    std::printf("%s\n", shown.toLocal8Bit().constData());
    std::fflush(stdout);
}
