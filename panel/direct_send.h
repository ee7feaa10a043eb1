#pragma once

#include <QByteArray>

class LinkState;

// Sends one command line straight to the instrument, outside the poll cycle, as the sequence
// and test windows do: on a serial link written to CiaComPort1 (a closed port raises "Port not
// open"); on GPIB written under GpibBusy, and dropped, not delayed, when an exchange is under way.
void SendToInstrument(LinkState& state, const QByteArray& line);

// The sequence and test windows talk to the instrument themselves: on a GPIB link they open its
// device when they are made, and when they close they clear it and hand it back to its front
// panel (unless an exchange is under way).
void TakeGpibInstrument(LinkState& state);
void ReleaseGpibInstrument(LinkState& state);
