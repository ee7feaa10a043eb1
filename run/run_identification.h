#pragma once

#include "link/reply_sink.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class LinkState;
class TestLink;

// Before a run's first row: the instrument asked for its identification ("*idn?") and options
// ("*opt?"), as Connect asks, and then every auxiliary device and the meter the table uses for
// its identification, one after another, each given kWaitMs to answer. Meanwhile every received
// line comes here: the rows have not begun. A device that does not answer is recorded as such,
// and the run goes on. On a serial link the answers come as the event loop delivers them; a GPIB
// exchange reads its answer at once.
class RunIdentification : public QObject, private ReplyListener {
    Q_OBJECT

public:
    static constexpr int kWaitMs = 1500;

    // A device the table talks to besides the instrument: its serial port (the number its rows
    // name) or GPIB address, and whether it is the meter.
    struct Device {
        int Port = 0;        // "@COMnn": the table's number
        int GpibAddress = 0; // "@GPIBnn"
        bool Meter = false;
    };

    RunIdentification(LinkState& link, TestLink& testLink, QList<Device> devices);
    ~RunIdentification() override;

    // Asks; done is called once every answer came or its wait ran out.
    void Start(std::function<void()> done);

    // The instrument's identification reply (trimmed), empty when it gave none in its wait.
    const QString& Identification() const { return m_identification; }
    const QString& Options() const { return m_options; }
    // Whether the instrument's identification query went unanswered within its wait (its answer
    // may still be on the way, which the first row's query then has to allow for).
    bool InstrumentSilent() const { return m_identification.isEmpty(); }
    // Each further device as a record keeps it: "COM5: <identification>", "meter COM9: no
    // answer", "GPIB 12: <identification>".
    const QStringList& DeviceTexts() const { return m_deviceTexts; }

private:
    void Next();
    void Answered(const QString& text);
    void WaitOver();
    void EvaluateReply(int port) override;
    QString DeviceName(const Device& d) const;

    LinkState& L;
    TestLink& m_testLink;
    QList<Device> m_devices;
    ReplyListener* m_before = nullptr;
    std::function<void()> m_done;
    QTimer m_wait;
    QTimer m_deliver;
    int m_step = -1;       // 0: "*idn?" of the instrument, 1: its "*opt?", 2.. the devices
    int m_expectPort = -1; // the reply port the current question's answer comes on
    QString m_identification, m_options;
    QStringList m_deviceTexts;
};
