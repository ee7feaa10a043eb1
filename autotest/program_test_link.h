#pragma once

#include "autotest/run_link.h"

class LinkState;
class TCiaComPort;

// The interpreter's link over the program's own ports and GPIB state: the instrument on
// CiaComPort1 or the configured GPIB device, auxiliary devices on CiaComPort2 ... CiaComPort11
// or other GPIB addresses, the external meter on the first auxiliary serial port. The test
// window and the command-line runner both use this one.
class ProgramTestLink : public TestLink {
public:
    explicit ProgramTestLink(LinkState& link) : L(link) {}

    bool SerialLink() const override;
    bool WriteInstrument(const QByteArray& line, QString& error) override;
    void WriteAuxiliary(int port, const QByteArray& line) override;
    bool WriteMeter(const QByteArray& line, QString& error) override;
    int MeterPort() override;
    // The reply is also left in LinkState::ReplyLine, where every delivery goes.
    bool GpibExchange(int address, const QByteArray& line, bool query,
                      std::optional<QByteArray>& reply) override;

private:
    TCiaComPort& MeterPortObject();

    LinkState& L;
};
