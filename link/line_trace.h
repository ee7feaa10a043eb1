#pragma once

#include <QByteArray>
#include <QString>

// Where the ports and the GPIB layer report every line they send or receive, as it happens.
// Called on the user-interface thread only.
class LineTrace {
public:
    enum class Direction { Sent, Received };
    virtual ~LineTrace() = default;
    virtual void TraceLine(Direction direction, const QString& port, const QByteArray& bytes) = 0;
    // Whether lines are being kept now: while not, callers spare themselves making them.
    virtual bool Tracing() const { return true; }
};
