#include "tools/rack_board.h"

#include <sys/ioctl.h>

RackBoard::RackBoard(std::FILE* out) : m_out(out)
{
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(kRedrawMs);
    connect(&m_redraw, &QTimer::timeout, this, &RackBoard::Draw);
}

int RackBoard::AddSlot(const QString& name)
{
    Slot slot;
    slot.Name = name;
    m_slots.push_back(slot);
    return static_cast<int>(m_slots.size()) - 1;
}

void RackBoard::SetRow(int slot, int done, int total)
{
    m_slots[static_cast<size_t>(slot)].Done = done;
    m_slots[static_cast<size_t>(slot)].Total = total;
    if (m_slots[static_cast<size_t>(slot)].State == QLatin1String("starting"))
        m_slots[static_cast<size_t>(slot)].State = QStringLiteral("running");
    Changed();
}

void RackBoard::SetValue(int slot, const QString& value)
{
    m_slots[static_cast<size_t>(slot)].Value = value;
    Changed();
}

void RackBoard::SetState(int slot, const QString& state)
{
    m_slots[static_cast<size_t>(slot)].State = state;
    Changed();
}

// Changes wait for the next redraw: a rack of eight at ten rows a second draws four times.
void RackBoard::Changed()
{
    if (!m_redraw.isActive())
        m_redraw.start();
}

void RackBoard::Print(const QString& line)
{
    Erase();
    if (!m_question.isEmpty())
        std::fputc('\n', m_out); // the question stays above, and is asked again below
    std::fputs(line.toLocal8Bit().constData(), m_out);
    std::fputc('\n', m_out);
    if (!m_question.isEmpty())
        std::fputs(m_question.toLocal8Bit().constData(), m_out);
    Draw();
}

void RackBoard::Ask(const QString& question)
{
    Erase();
    m_question = question;
    std::fputs(question.toLocal8Bit().constData(), m_out);
    std::fflush(m_out);
}

void RackBoard::Answered()
{
    m_question.clear(); // the typed line's end put the cursor below it
    Changed();
}

void RackBoard::Finish()
{
    m_redraw.stop();
    Draw();
    m_drawn = 0; // stays on the terminal
}

void RackBoard::Erase()
{
    for (; m_drawn > 0; --m_drawn)
        std::fputs("\033[A\r\033[K", m_out);
}

// One line per slot, each within the terminal's width: a line that wrapped would take two rows,
// and the next redraw, which goes up one row per line, would leave half of it behind. A board
// taller than the terminal shows the slots that fit and how many more there are.
void RackBoard::Draw()
{
    if (!m_question.isEmpty()) {
        std::fflush(m_out);
        return;
    }
    Erase();
    winsize size{};
    const bool known = ioctl(fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0;
    const int width = known ? size.ws_col - 1 : 200;
    const int height = known && size.ws_row > 2 ? size.ws_row - 2 : 1000;
    const int shown =
        static_cast<int>(m_slots.size()) > height ? height - 1 : static_cast<int>(m_slots.size());
    QStringList lines;
    for (int i = 0; i < shown; ++i) {
        const Slot& s = m_slots[static_cast<size_t>(i)];
        const QString row =
            s.Total > 0 ? QStringLiteral("row %1/%2").arg(s.Done).arg(s.Total) : QString();
        lines << QStringLiteral("%1  %2  %3  %4")
                     .arg(s.Name, -22)
                     .arg(row, -12)
                     .arg(s.State, -8)
                     .arg(s.Value);
    }
    if (shown < static_cast<int>(m_slots.size()))
        lines
            << QStringLiteral("... %1 more slots").arg(m_slots.size() - static_cast<size_t>(shown));
    for (const QString& line : lines) {
        std::fputs(line.left(width).toLocal8Bit().constData(), m_out);
        std::fputc('\n', m_out);
        ++m_drawn;
    }
    std::fflush(m_out);
}
