#include "tools/rack_board.h"

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

void RackBoard::Draw()
{
    if (!m_question.isEmpty()) {
        std::fflush(m_out);
        return;
    }
    Erase();
    for (const Slot& s : m_slots) {
        const QString row =
            s.Total > 0 ? QStringLiteral("row %1/%2").arg(s.Done).arg(s.Total) : QString();
        const QString line = QStringLiteral("%1  %2  %3  %4")
                                 .arg(s.Name, -22)
                                 .arg(row, -12)
                                 .arg(s.State, -8)
                                 .arg(s.Value);
        std::fputs(line.toLocal8Bit().constData(), m_out);
        std::fputc('\n', m_out);
        ++m_drawn;
    }
    std::fflush(m_out);
}
