#include "panel/direct_send.h"

#include "link/link_state.h"

void SendToInstrument(LinkState& state, const QByteArray& line)
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

void TakeGpibInstrument(LinkState& state)
{
    if (!state.SerialLink)
        state.Gpib.OpenGpibDevice(state.Settings.GpibAddress, state.Settings.IoType);
}

void ReleaseGpibInstrument(LinkState& state)
{
    GpibAccess& gpib = state.Gpib;
    if (state.SerialLink || gpib.GpibBusy)
        return;
    gpib.GpibBusy = true;
    gpib.DeviceClearAndLocal();
    gpib.GpibBusy = false;
}
