#pragma once

#include <QString>

// The reply handling every received line passes through: the control panel's parser, which
// shows the line in its field and logs it, or, with no window, whatever logs it. The windows
// and the start-up also hand it lines of their own ("COM2: port opened", "CIACOM3 4 open4").
class ReplySink {
public:
    virtual ~ReplySink() = default;
    virtual void ParseReply(const QString& text) = 0;
    // A note for the traffic log only (the service tool's list), not a reply to act on.
    virtual void LogLine(const QString& text) { (void)text; }
};

// The test window, while it exists, evaluates every received line (in ReplyLine) against its
// current row. port: 0 for the instrument's own port, otherwise the COM number the line came on.
class ReplyListener {
public:
    virtual ~ReplyListener() = default;
    virtual void EvaluateReply(int port) = 0;
    // The port's device went away (port as above): a running table holds there, and goes on
    // only when the operator says so, once the port is back.
    virtual void PortLost(int port) { (void)port; }
};
