#include "panel/reply_resync.h"

#include "panel/identification.h"

void ReplyResync::GaveUp(const QString& query)
{
    m_pending = true;
    if (IsResyncQuery(query))
        ++m_unanswered;
}

bool ReplyResync::Begin()
{
    if (!m_pending)
        return false;
    m_pending = false;
    ++m_unanswered;
    return true;
}

ReplyResync::Line ReplyResync::Take(const QString& line)
{
    if (m_pending)
        return Line::Late;
    if (m_unanswered == 0)
        return Line::Reply;
    if (!IsIdentificationReply(line))
        return Line::Late;
    --m_unanswered;
    return Line::Identification;
}
