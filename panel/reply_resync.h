#pragma once

#include <QString>

// A serial link's replies kept in step with its queries after a reply was given up on. The late
// reply may still come, and would then be taken for the next query's; so the next query is sent
// after the identification query (kResyncQuery), and every line up to its answer is dropped.
//
// Identifications asked for whose answer has not come yet are counted: when a query after a
// resynchronisation is given up on too, the line after the first identification could be that
// query's late reply, so every identification asked for must come before a reply is taken.
class ReplyResync {
public:
    // The reply to query was given up on: the next query resynchronises, and until it is
    // written every line is late. A given-up identification query's own answer, still to come,
    // is counted with ours.
    void GaveUp(const QString& query);
    bool Pending() const { return m_pending; }

    // Before a query is written: true when the identification query is to be written first
    // (it is counted as written).
    bool Begin();
    // What a received line is; a line while the link is in step is always a reply.

    enum class Line {
        Late,           // a reply that came too late for its query: dropped, to be told
        Identification, // the answer to an identification query of ours: dropped
        Reply,          // the query's own reply
    };
    Line Take(const QString& line);

private:
    bool m_pending = false;
    int m_unanswered = 0; // identification queries written whose answer has not come
};
