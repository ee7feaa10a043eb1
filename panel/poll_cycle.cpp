#include "panel/poll_cycle.h"

PollTableType BuildPollTable()
{
    PollTableType t;
    t[0] = "\n";
    t[1] = "*tav?\n";
    const char* meas[] = {"volt", "curr", "pow", "va", "currp", "pfact", "cfact"};
    for (int i = 0; i < 7; ++i) {
        t[2 + i] = QByteArray("meas:") + meas[i] + "?\n";
        t[10 + i] = QByteArray("meas2:") + meas[i] + "?\n";
        t[17 + i] = QByteArray("meas3:") + meas[i] + "?\n";
    }
    t[9] = "outp:stat?\n";
    t[31] = "*idn?\n";
    t[32] = "*opt?\n";
    t[33] = "Sour:voltac?\n";
    t[34] = "Sour:voltdc?\n";
    t[35] = "Sour:curr?\n";
    t[36] = "Sour:freq?\n";
    t[37] = "Sour:phas?\n";
    t[38] = "Sour:powmax?\n";
    t[39] = "outp:stat?\n";
    t[40] = "outp:phason?\n";
    t[41] = "outp:aux?\n";
    t[42] = "sour:currmax?\n";
    t[43] = "sour:currtime?\n";
    const char* perPhase[] = {"voltac", "voltdc", "curr", "freq", "phas"};
    for (int group = 0; group < 5; ++group)
        for (int phase = 1; phase <= 3; ++phase)
            t[44 + group * 3 + phase - 1] =
                "Sour" + QByteArray::number(phase) + ":" + perPhase[group] + "?\n";
    return t;
}

PollCycle::PollCycle(Host& host) : PollTable(BuildPollTable()), m_host(host) {}

void PollCycle::SinglePhase()
{
    MeasEnd = 9;
    SetEnd = 43;
}

void PollCycle::ThreePhase()
{
    MeasEnd = 23;
    SetEnd = 58;
}

void PollCycle::Tick()
{
    // The measurement block ends in the two mailbox slots.
    PollSlot = PollSlot == MeasEnd ? kTimerMailboxSlot : PollSlot + 1;
    if (PollSlot == kStatusSlot)
        StatusPending = true;
    // The status query of this pass got no answer within its tick. The rest of the tick runs.
    if (PollSlot == kWatchSlot && StatusPending)
        m_host.StatusMissing();
    if (PollSlot > SetEnd)
        PollSlot = CycleBase + 1;
    ReplySlot = PollSlot;
    m_host.SlotTaken(PollSlot);
    m_host.SendPollSlot(PollSlot);

    // A mailbox is emptied only once its command has gone out, so a failed send loses nothing.
    if (PollSlot == kTimerMailboxSlot && TimerCommand.pending) {
        m_host.SendMailbox(TimerCommand.text);
        TimerCommand.pending = false;
    }
    if (PollSlot == kOperatorMailboxSlot) {
        PollSlot = CycleBase;
        if (OperatorCommand.pending) {
            m_host.SendMailbox(OperatorCommand.text);
            OperatorCommand.pending = false;
            // Every set command is followed by a fresh reading of all set values.
            PollSlot = kOptionsSlot;
        }
    }
}
