#include "panel/reply_resync.h"

#include "panel/identification.h"

void ReplyResync::GaveUp(const QString& query)
{
    m_pending = true;
    if (query.trimmed().compare(QLatin1String(kResyncQuery).trimmed(), Qt::CaseInsensitive) == 0)
        ++m_unanswered;
}

bool ReplyResync::Begin()
{
    if (!m_pending)
        return false;
    ++m_unanswered;
    return true;
}

ReplyResync::Line ReplyResync::Take(const QString& line)
{
    if (m_unanswered == 0) {
        m_pending = false;
        return Line::Reply;
    }
    if (!IsIdentificationReply(line))
        return Line::Late;
    --m_unanswered;
    return Line::Identification;
}
