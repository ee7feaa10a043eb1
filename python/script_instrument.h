#pragma once

#include "link/gpib_messages.h"
#include "link/reply_sink.h"
#include "program/program_state.h"
#include "python/event_wait.h"
#include "record/measurement_pass.h"
#include "replies/identification.h"
#include "replies/reply_resync.h"
#include "run/chosen_link.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>

// The link is down or cannot be used: the message names the link and the cause.
class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A query got no reply within its time.
class NoReplyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The instrument as a script talks to it: the program's own link started as the program starts
// it (the same port rules, TAVCON.cfg optional), lines written and replies taken through the
// program's reply route, the poll cycle's queries and reply parser for a measurement pass, and
// the main window's operator commands. Waits run the core's event handling (event_wait.h).
class ScriptInstrument : private ReplySink, private GpibMessages {
public:
    // Asked while a wait goes on; true breaks it off.
    using InterruptCheck = std::function<bool()>;

    explicit ScriptInstrument(const LinkChoice& choice);
    ~ScriptInstrument() override;
    ScriptInstrument(const ScriptInstrument&) = delete;
    ScriptInstrument& operator=(const ScriptInstrument&) = delete;

    bool IsOpen() const { return m_open; }
    QString LinkName() const { return m_linkName; }
    // Every port closed; a GPIB device cleared and returned to local. Again: nothing.
    void Close();

    // One line; a line feed is added when it has none.
    void Write(const QString& line);
    // The reply, trimmed as the reply parser trims it. On a serial link the wait is timeoutMs;
    // on GPIB the device's own time-out (3 s) applies. After a serial query got no reply in
    // its time, the next one resynchronises the link (ReplyResync) within its own time: a
    // reply given up on is never returned for another query.
    QString Query(const QString& line, int timeoutMs, const InterruptCheck& interrupted);
    // The late replies dropped since the last call, to be told to the script.
    QStringList TakeLateReplies();

    struct Identity {
        QString Identification, Options;
        IdentificationReading Ident;
        OptionsReading Opt;
    };
    // "*idn?" and "*opt?", read as the main window reads them on Connect.
    Identity Identify(int timeoutMs, const InterruptCheck& interrupted);
    // One measurement block of the poll cycle, its replies read into a row as the recording
    // does. The layout (one or three phases, status query polled or not) comes from Identify,
    // which runs first when it has not yet.
    MeasurementRow Measure(int timeoutMs, const InterruptCheck& interrupted);

    // The line the main window's set-value field for quantity ("VOLTAC", "VOLTDC", "CURR",
    // "FREQ", "PHAS", "POWMAX", "CURRMAX", "CURRTIME"; per phase 1 to 3 the first five, phase 0
    // for the common field) posts for the text. Empty when there is no such field; the text
    // empty when the field's check would empty it.
    static QByteArray SetValueLine(const QString& quantity, int phase, const QString& text);

private:
    // ReplySink: the start-up's port lines and every received line of ports 1 to 6.
    void ParseReply(const QString& text) override;
    // GpibMessages: the GPIB layer's errors, told with the failure they belong to.
    void AppendErrBox(const QString& line) override;
    void ClearErrBox() override { m_gpibErrors.clear(); }
    void SetMeter(const QString&) override {}

    void CheckOpen() const;
    void Lost(TCiaComPort* port, int error);
    [[noreturn]] void Interrupted();

    ProgramState m_state;
    LinkState& L;
    QString m_linkName;
    bool m_open = false;
    QString m_lost; // why the instrument's port went away
    std::deque<QString> m_replies;
    ReplyResync m_resync;
    QStringList m_lateReplies;
    QStringList m_gpibErrors;
    std::optional<Identity> m_identity;
};
