#pragma once

#include "service/config_commands.h"

#include <QByteArray>
#include <QString>

// Writes an instrument's model data: "Send Config" builds the twelve lines, and every tick of
// the service tool's 1200 ms timer sends the next one. Replies are not awaited; whatever comes
// back shows in the traffic log through the ordinary reply handling.
class ConfigTransfer {
public:
    // The service tool's Timer1: one configuration line per tick.
    static constexpr int kTickMs = 1200;

    class Host {
    public:
        virtual ~Host() = default;
        // Writes the line to the instrument's serial port if that is open; false when nothing
        // left (a closed port, as on a GPIB link).
        virtual bool WriteIfOpen(const QByteArray& line) = 0;
        virtual void AppendLog(const QString& line) = 0;
        virtual void SetTimerActive(bool on) = 0;
    };

    explicit ConfigTransfer(Host& host) : m_host(host) {}

    // "Send Config": a transfer under way starts again at position 1 with the new selections.
    void Start(const ConfigSelection& selection);
    // The timer tick: sends and logs the next line; after the twelfth, stops the timer and
    // tells in the log whether every line left.
    void Tick();

    bool Running() const { return ConfigStep > 0 && ConfigStep < kConfigLineCount; }
    int SentCount() const { return m_sent; }

    ConfigCommandTable ConfigCommands;
    // The position of the last line sent, 0 before the first.
    int ConfigStep = 0;
    // The previous transfer's model values, kept for a typed model that selects none; updated
    // by every Start.
    QString LastPower = QStringLiteral("400");
    QString LastCurrent = QStringLiteral("3");

private:
    Host& m_host;
    int m_sent = 0;
};

// Writes one line (ended by its line feed) through the host and logs it without the line feed;
// a line that did not leave is logged with " (not sent: " and the reason. True when it left.
bool SendAndLog(ConfigTransfer::Host& host, const QByteArray& line);
