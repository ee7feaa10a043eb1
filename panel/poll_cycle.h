#pragma once

#include <QByteArray>
#include <array>

// A one-entry command mailbox of the poll cycle: a new command replaces one not yet sent.
struct CommandMailbox {
    QByteArray text;
    bool pending = false;

    // The text first, then the flag.
    void Post(const QByteArray& command)
    {
        text = command;
        pending = true;
    }
    void Clear()
    {
        text.clear();
        pending = false;
    }
};

// The 101 command lines of the poll cycle, by slot. Empty slots send nothing.
using PollTableType = std::array<QByteArray, 101>;
PollTableType BuildPollTable();

// The poll cycle: one command line per tick from the poll table, the two mailboxes at slots 28
// and 29, and the watch on the status query. Replies carry no tag: each is attributed to
// ReplySlot, the slot taken last.
class PollCycle {
public:
    // What a tick needs from the link and the window.
    class Host {
    public:
        virtual ~Host() = default;
        // Sends the slot just taken (serial: its poll-table line; GPIB: a whole transaction).
        virtual void SendPollSlot(int slot) = 0;
        // Sends a mailbox command.
        virtual void SendMailbox(const QByteArray& command) = 0;
        // The status query went unanswered.
        virtual void StatusMissing() = 0;
        // The tick took a slot (ReplySlot is set), before it is sent.
        virtual void SlotTaken(int /*slot*/) {}
    };

    // Timer1's period: one slot per tick, and the time a reply has to come back in.
    static constexpr int kTickMs = 60;
    static constexpr int kStatusSlot = 1;
    static constexpr int kWatchSlot = 2;
    static constexpr int kTimerMailboxSlot = 28;
    static constexpr int kOperatorMailboxSlot = 29;
    static constexpr int kConnectSlot = 30;
    static constexpr int kIdentSlot = 31;
    static constexpr int kOptionsSlot = 32;

    explicit PollCycle(Host& host);

    // One tick of Timer1.
    void Tick();

    void SinglePhase();
    void ThreePhase();
    // Connect places the cycle before the identification query.
    void StartAtConnect() { PollSlot = kConnectSlot; }

    PollTableType PollTable;
    int PollSlot = 1;
    int ReplySlot = 0;
    int MeasEnd = 23;
    int SetEnd = 58;
    int CycleBase = 0;
    bool StatusPending = false;
    CommandMailbox TimerCommand;
    CommandMailbox OperatorCommand;

private:
    Host& m_host;
};
