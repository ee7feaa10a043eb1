#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class TCiaComPort;
struct LinkSettings;

// Start-up discovery: lists the serial ports that can be opened, logs each one, and opens the
// instrument's port when it is among them and the link is serial. Returns whether it was opened
// (the caller's LinkOpened). Log lines go to the reply handling, like any received line.
bool FindSerialPorts(const LinkSettings& settings, TCiaComPort& instrumentPort,
                     QStringList& discoveredPorts,
                     const std::function<void(const QString&)>& replyHandling);
// Its two halves: the listing with its lines (atInstrument is called right after the line of
// the instrument's port, when it is among those found on a serial link), and the instrument
// port's opening with its line.
void ListFoundPorts(const LinkSettings& settings, QStringList& discoveredPorts,
                    const std::function<void(const QString&)>& replyHandling,
                    const std::function<void()>& atInstrument = nullptr);
bool OpenInstrumentPort(TCiaComPort& instrumentPort,
                        const std::function<void(const QString&)>& replyHandling);
