#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// How the interpreter's lines reach the instrument and the auxiliary devices. Every line comes
// with its line feed.
class TestLink {
public:
    virtual ~TestLink() = default;

    // The configured link: true for the serial port CiaComPort1, false for GPIB.
    virtual bool SerialLink() const = 0;

    // Serial: to the instrument's port. The reply, if any, comes later through the
    // interpreter's ReplyReceived. False, with the reason, when the port cannot take the line
    // (closed, or lost during the run).
    virtual bool WriteInstrument(const QByteArray& line, QString& error) = 0;
    // To every open auxiliary serial port with this port number; nothing when none is open.
    virtual void WriteAuxiliary(int port, const QByteArray& line) = 0;
    // To the external meter's port, which is opened first when it is closed. False, with the
    // reason, when it cannot be opened or written.
    virtual bool WriteMeter(const QByteArray& line, QString& error) = 0;
    // The COM number the external meter answers on.
    virtual int MeterPort() = 0;

    // One GPIB exchange: the line to the configured device (address 0) or, for this exchange
    // only, to the device at that primary address; for a query the reply is read at once, and
    // a failed read leaves reply without a value. False when another exchange is under way
    // (GpibBusy): then nothing was sent.
    virtual bool GpibExchange(int address, const QByteArray& line, bool query,
                              std::optional<QByteArray>& reply) = 0;
};
