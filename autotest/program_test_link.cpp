#include "autotest/program_test_link.h"

#include "panel/program_state.h"

bool ProgramTestLink::SerialLink() const { return S.SerialLink; }

bool ProgramTestLink::WriteInstrument(const QByteArray& line, QString& error)
{
    try {
        S.ComPort(1).WriteText(line);
        return true;
    } catch (const ECiaComPort& e) {
        error = e.Message();
        return false;
    }
}

void ProgramTestLink::WriteAuxiliary(int port, const QByteArray& line)
{
    for (int n = 2; n <= ProgramState::kPortCount; ++n) {
        TCiaComPort& aux = S.ComPort(n);
        if (aux.Port() == port && aux.Active())
            aux.WriteText(line);
    }
}

bool ProgramTestLink::WriteMeter(const QByteArray& line, QString& error)
{
    TCiaComPort& meter = S.ComPort(kMeterPort);
    try {
        meter.SetActive(true);
        meter.WriteText(line);
        return true;
    } catch (const ECiaComPort& e) {
        error = e.Message();
        return false;
    }
}

int ProgramTestLink::MeterPort() const { return S.ComPort(kMeterPort).Port(); }

bool ProgramTestLink::GpibExchange(int address, const QByteArray& line, bool query,
                                   std::optional<QByteArray>& reply)
{
    GpibAccess& gpib = S.Gpib;
    if (gpib.GpibBusy)
        return false;
    // Another address is served for this exchange only: the configured device is looked up
    // again afterwards.
    const int32_t configured = S.Link.GpibAddress;
    if (address > 0) {
        S.Link.GpibAddress = address;
        gpib.ForgetGpibDevice();
        gpib.OpenGpibDevice(address, 2);
    }
    gpib.GpibBusy = true;
    gpib.GpibWrite(QString::fromLatin1(line));
    if (query) {
        QString text;
        const bool read = gpib.GpibRead(text);
        S.ReplyLine = text.toLatin1();
        if (read)
            reply = S.ReplyLine;
        else
            reply.reset();
    }
    gpib.GpibBusy = false;
    if (address > 0) {
        S.Link.GpibAddress = configured;
        gpib.ForgetGpibDevice();
        // On a serial link no instrument waits on the bus: a lookup there would find nothing
        // and only set the time-out of the board itself (descriptor 0).
        if (!S.SerialLink)
            gpib.OpenGpibDevice(configured, S.Link.IoType);
    }
    return true;
}
