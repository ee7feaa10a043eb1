#include "autotest/program_test_link.h"

#include "common/number_reading.h"
#include "link/link_state.h"

bool ProgramTestLink::SerialLink() const { return L.SerialLink; }

bool ProgramTestLink::WriteInstrument(const QByteArray& line, QString& error)
{
    try {
        L.ComPort(1).WriteText(line);
        return true;
    } catch (const ECiaComPort& e) {
        error = e.Message();
        return false;
    }
}

void ProgramTestLink::WriteAuxiliary(int tablePort, const QByteArray& line)
{
    const int port = L.MappedPort(tablePort);
    for (int n = 2; n <= LinkState::kPortCount; ++n) {
        TCiaComPort& aux = L.ComPort(n);
        if (aux.Port() == port && aux.Active())
            aux.WriteText(line);
    }
}

// The meter's port: the one named outright, else the first discovered port that is not the
// instrument's own. The auxiliary port object that already holds that port serves it, so one
// device is never opened twice; a port no object holds goes to the first closed one. Without
// any such port CiaComPort2 serves, with the number it has.
TCiaComPort& ProgramTestLink::MeterPortObject()
{
    int number = L.MeterPort;
    for (qsizetype i = 0; number == 0 && i < L.DiscoveredPorts.size(); ++i)
        if (!(L.SerialLink && L.DiscoveredPorts[i] == L.Settings.PortText))
            number = ReadInteger(L.DiscoveredPorts[i]);
    if (number == 0)
        return L.ComPort(2);
    TCiaComPort* holder = nullptr;
    TCiaComPort* closed = nullptr;
    for (int n = 2; n <= LinkState::kPortCount; ++n) {
        TCiaComPort& port = L.ComPort(n);
        if (port.Port() == number && (!holder || (port.Active() && !holder->Active())))
            holder = &port;
        if (!closed && !port.Active())
            closed = &port;
    }
    if (holder)
        return *holder;
    TCiaComPort& meter = closed ? *closed : L.ComPort(2);
    meter.SetPort(number);
    return meter;
}

// As the replies name their port: the table's number of a port a rack's slot maps.
int ProgramTestLink::MeterPort() { return L.TablePort(MeterPortObject().Port()); }

bool ProgramTestLink::WriteMeter(const QByteArray& line, QString& error)
{
    TCiaComPort& meter = MeterPortObject();
    try {
        meter.SetActive(true);
        meter.WriteText(line);
        return true;
    } catch (const ECiaComPort& e) {
        error = e.Message();
        return false;
    }
}

bool ProgramTestLink::GpibExchange(int address, const QByteArray& line, bool query,
                                   std::optional<QByteArray>& reply)
{
    GpibAccess& gpib = L.Gpib;
    if (gpib.GpibBusy)
        return false;
    // Another address is served for this exchange only: the configured device is looked up
    // again afterwards.
    const int32_t configured = L.Settings.GpibAddress;
    if (address > 0) {
        L.Settings.GpibAddress = address;
        gpib.ForgetGpibDevice();
        gpib.OpenGpibDevice(address, 2);
    }
    gpib.GpibBusy = true;
    gpib.GpibWrite(QString::fromLatin1(line));
    if (query) {
        QString text;
        const bool read = gpib.GpibRead(text);
        L.ReplyLine = text.toLatin1();
        if (read)
            reply = L.ReplyLine;
        else
            reply.reset();
    }
    gpib.GpibBusy = false;
    if (address > 0) {
        L.Settings.GpibAddress = configured;
        gpib.ForgetGpibDevice();
        // On a serial link no instrument waits on the bus: a lookup there would find nothing
        // and only set the time-out of the board itself (descriptor 0).
        if (!L.SerialLink)
            gpib.OpenGpibDevice(configured, L.Settings.IoType);
    }
    return true;
}
