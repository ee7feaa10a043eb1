#pragma once

#include <QString>

// Where the GPIB layer leaves its messages: the message list ErrBox and the Meter text of the
// service tool. The GPIB layer must not know that window, only these three calls.
class GpibMessages {
public:
    virtual ~GpibMessages() = default;

    virtual void AppendErrBox(const QString& line) = 0;
    virtual void ClearErrBox() = 0;
    virtual void SetMeter(const QString& text) = 0;
};
