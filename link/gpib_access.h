#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class GpibLibrary;
class GpibMessages;
class LineTrace;

// The GPIB state every window shares and the operations they make exchanges with.
//
// Exchanges are synchronous and run on the user-interface thread: a read that gets no answer
// blocks for the device's time-out (3 s). Callers set GpibBusy around every exchange and skip,
// not delay, one that finds it set; the control-panel branches below do that themselves.
//
// Without a bound library nothing here calls into one: lookups fail (GpibDevice stays as it is,
// so never above 0), reads give Meter "---" and an empty reply, and the first write, read or
// clear adds one "GPIB library not available" line to ErrBox so a technician sees why; again
// after each time the preparation empties ErrBox, never once per tick. The lookup gives no such
// line because Connect empties ErrBox right after it.
class GpibAccess {
public:
    static constexpr int kReadSize = 200;
    static constexpr int kT3s = 12;
    static constexpr int kT10s = 13;

    GpibAccess(const GpibLibrary& library, GpibMessages& messages);

    // Where a lookup by name takes the name: the main window's DeviceName field. The source is
    // asked at every lookup, so a name typed after start-up counts.
    void SetDeviceNameSource(std::function<QString()> source);
    void SetDeviceName(const QString& name);
    // Every line written and read is reported here too (nullptr: none).
    void SetTrace(LineTrace* trace) { m_trace = trace; }

    // The instrument's unit descriptor: 0 none yet, negative a failed lookup, open when > 0.
    int32_t GpibDevice = 0;
    bool GpibBusy = false;

    void ForgetGpibDevice();
    // ioType 1 looks the device up by name, 2 by address; then sets its time-out to 3 s.
    void OpenGpibDevice(int32_t address, int32_t ioType);
    // text: one command line with its line feed, written as it is.
    void GpibWrite(const QString& text);
    // At most 200 bytes up to the device's end of message, trailing CR LF left in place. A failed
    // read empties text; with no device (GpibDevice 0) text is left as it was. False when
    // nothing was read (no library, no device, time-out or an error).
    bool GpibRead(QString& text);
    void GpibReportError(const QString& message);
    // ibclr then ibloc on GpibDevice; their results do not matter.
    void DeviceClearAndLocal();

    // The four ErrBox lines GpibReportError gives for this status.
    static QStringList GpibErrorReport(const QString& message, int ibsta, int iberr, int ibcnt);

    // The GPIB branches of the control panel, for a link whose type is not serial.

    // Start of Connect: open the device, then empty ErrBox so it holds only the errors of the
    // commands that follow. The caller then sets LinkOpened.
    void GpibPreparation(int32_t address, int32_t ioType);
    // Disconnect and QUIT: device clear and local, unless an exchange is under way.
    void GpibRelease();
    // One poll tick's query: write the line, read the reply (starting empty), hand it to
    // parseReply while GpibBusy is still set, then show it unchanged in Meter. A failed read thus
    // ends with Meter empty, its "---" overwritten. False when the tick found GpibBusy set and
    // skipped its slot (nothing was sent, parseReply not called).
    bool GpibPollTransaction(const QString& line,
                             const std::function<void(const QString& reply)>& parseReply);
    // Slots 28 and 29: write the mailbox text, no read. False when it was dropped as GpibBusy was
    // set; the caller clears the mailbox's pending flag either way.
    bool GpibMailboxSend(const QString& text);
    // Recall and save of states: preparation without LinkOpened, the write (if GpibBusy is clear;
    // no reply is read), then the release.
    void GpibDirectWrite(int32_t address, int32_t ioType, const QString& line);

private:
    QString DeviceName() const;
    void AppendLines(const QStringList& lines);
    void ReportUnbound();

    const GpibLibrary& m_library;
    GpibMessages& m_messages;
    std::function<QString()> m_deviceName;
    bool m_unboundReported = false;
    LineTrace* m_trace = nullptr;
    // The device as the trace names it: "GPIB" and its address, or the name it was found by.
    QString m_traceName = QStringLiteral("GPIB");
};
