#include "panel/direct_send.h"

#include "panel/program_state.h"

void SendToInstrument(ProgramState& state, const QByteArray& line)
{
    if (state.SerialLink) {
        state.ComPort(1).WriteText(line);
        return;
    }
    GpibAccess& gpib = state.Gpib;
    if (gpib.GpibBusy)
        return;
    gpib.GpibBusy = true;
    gpib.GpibWrite(QString::fromLatin1(line));
    gpib.GpibBusy = false;
}

void TakeGpibInstrument(ProgramState& state)
{
    if (!state.SerialLink)
        state.Gpib.OpenGpibDevice(state.Link.GpibAddress, state.Link.IoType);
}

void ReleaseGpibInstrument(ProgramState& state)
{
    GpibAccess& gpib = state.Gpib;
    if (state.SerialLink || gpib.GpibBusy)
        return;
    gpib.GpibBusy = true;
    gpib.DeviceClearAndLocal();
    gpib.GpibBusy = false;
}
