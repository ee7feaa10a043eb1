#pragma once

#include <QString>
#include <optional>

// A serial link's replies kept in step with its queries after a reply was given up on. The late
// reply may still come, and would then be taken for the next query's; so the next query is sent
// after the identification query (kResyncQuery), and every line up to its answer is dropped.
//
// Identifications asked for whose answer has not come yet are counted. The instrument answers in
// order, so the query's own reply is the line right after the last identification answer. When
// several are outstanding (a query after a resynchronisation was given up on too), an answer that
// arrives may be a late one's — and the line after it a late reply — or the last one's, its
// predecessors lost with their queries (a cable out for a moment). That line is held: another
// identification answer behind it shows it was late; none by the end of the query's wait shows
// the others were lost, and it is the query's reply.
class ReplyResync {
public:
    // The reply to query was given up on: the next query resynchronises, and until it is
    // written every line is late. A given-up identification query's own answer, still to come,
    // is counted with ours.
    void GaveUp(const QString& query);
    bool Pending() const { return m_pending; }
    // An identification asked before the first query went unanswered in its wait (an instrument
    // that lacks it, or a slow one): should the answer still come, that one line is late. Value
    // replies hold no comma, so no other line is taken for it.
    void IdentificationMayFollow() { m_stray = true; }

    // Before a query is written: true when the identification query is to be written first
    // (it is counted as written).
    bool Begin();

    // What a received line is; a line while the link is in step is always a reply.
    enum class Line {
        Late,           // a reply that came too late for its query: dropped, to be told
        Identification, // the answer to an identification query of ours: dropped
        Reply,          // the query's own reply
        Held,           // perhaps the query's reply: TakeHeld at the end of its wait
    };
    // late: a line to tell as late and drop, this one or one held before; empty when none.
    Line Take(const QString& line, QString& late);
    // At the end of the query's wait: the line held with no identification answer behind it,
    // which is the query's reply (every identification still counted was lost).
    std::optional<QString> TakeHeld();

private:
    bool m_pending = false;
    bool m_stray = false;     // an identification answer may still come unasked for
    int m_unanswered = 0;     // identification queries written whose answer has not come
    bool m_maybeLast = false; // an answer came that may have been the last one's
    std::optional<QString> m_held;
};
