#include "replies/reply_resync.h"

#include "replies/identification.h"

#include <utility>

void ReplyResync::GaveUp(const QString& query)
{
    m_pending = true;
    if (IsResyncQuery(query))
        ++m_unanswered;
}

bool ReplyResync::Begin()
{
    // The query's reply follows its own identification's answer: nothing before it is held.
    m_maybeLast = false;
    m_held.reset();
    if (!m_pending)
        return false;
    m_pending = false;
    ++m_unanswered;
    return true;
}

ReplyResync::Line ReplyResync::Take(const QString& line, QString& late)
{
    late.clear();
    if (m_pending) {
        late = line;
        return Line::Late;
    }
    if (m_unanswered == 0 && m_stray && IsIdentificationReply(line)) {
        m_stray = false;
        late = line;
        return Line::Late;
    }
    if (m_unanswered == 0)
        return Line::Reply;
    if (IsIdentificationReply(line)) {
        // A line held before an identification answer was a late reply.
        if (m_held)
            late = *std::exchange(m_held, std::nullopt);
        --m_unanswered;
        m_maybeLast = m_unanswered > 0;
        return Line::Identification;
    }
    if (!m_maybeLast) {
        late = line;
        return Line::Late;
    }
    // In order, the newest line after the answer is the candidate; one held before it was late.
    if (m_held)
        late = *m_held;
    m_held = line;
    return Line::Held;
}

std::optional<QString> ReplyResync::TakeHeld()
{
    if (!m_held)
        return std::nullopt;
    m_unanswered = 0;
    m_maybeLast = false;
    return std::exchange(m_held, std::nullopt);
}
