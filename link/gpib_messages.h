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

// Hands the GPIB layer's messages to the service tool once it exists.
class GpibMessagesRelay : public GpibMessages {
public:
    void SetTarget(GpibMessages* target) { m_target = target; }
    void AppendErrBox(const QString& line) override
    {
        if (m_target)
            m_target->AppendErrBox(line);
    }
    void ClearErrBox() override
    {
        if (m_target)
            m_target->ClearErrBox();
    }
    void SetMeter(const QString& text) override
    {
        if (m_target)
            m_target->SetMeter(text);
    }

private:
    GpibMessages* m_target = nullptr;
};
