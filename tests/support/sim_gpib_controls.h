#pragma once

#include "link/gpib_library.h"
#include "sim/gpib/tavsim_gpib.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <dlfcn.h>

// The test controls of the simulated GPIB library, found in the same loaded library the program's
// binding gets: loading it by the same name returns the same handle.
class SimGpibControls {
public:
    SimGpibControls() : m_handle(dlopen(GpibLibrary::kLibraryFileName, RTLD_NOW | RTLD_LOCAL))
    {
        if (m_handle == nullptr)
            return;
        Resolve(m_reset, "tavsim_gpib_reset");
        Resolve(m_configure, "tavsim_gpib_configure");
        Resolve(m_setSilent, "tavsim_gpib_set_silent");
        Resolve(m_setNextReply, "tavsim_gpib_set_next_reply");
        Resolve(m_setBoardError, "tavsim_gpib_set_board_error");
        Resolve(m_setMeterReading, "tavsim_gpib_set_meter_reading");
        Resolve(m_callLog, "tavsim_gpib_call_log");
        Resolve(m_clearCallLog, "tavsim_gpib_clear_call_log");
    }
    ~SimGpibControls()
    {
        if (m_handle != nullptr)
            dlclose(m_handle);
    }
    SimGpibControls(const SimGpibControls&) = delete;
    SimGpibControls& operator=(const SimGpibControls&) = delete;

    // False when the loader found no library of that name, or one that is not ours.
    bool Loaded() const
    {
        return m_reset && m_configure && m_setSilent && m_setNextReply && m_setBoardError &&
               m_setMeterReading && m_callLog && m_clearCallLog;
    }

    void Reset() { m_reset(); }
    void Configure(int tavAddress, int meterAddress, const char* names)
    {
        m_configure(tavAddress, meterAddress, names);
    }
    void SetSilent(int address, bool silent) { m_setSilent(address, silent ? 1 : 0); }
    void SetNextReply(int address, const QByteArray& bytes)
    {
        m_setNextReply(address, bytes.constData(), bytes.size());
    }
    void SetBoardError(int code) { m_setBoardError(code); }
    void SetMeterReading(double volts) { m_setMeterReading(volts); }
    QStringList CallLog() const
    {
        return QString::fromLatin1(m_callLog()).split('\n', Qt::SkipEmptyParts);
    }
    void ClearCallLog() { m_clearCallLog(); }
    // The bytes of every ibwrt and every ibrd in the call log, in order.
    QList<QByteArray> Writes() const { return Transfers("ibwrt("); }
    QList<QByteArray> Reads() const { return Transfers("ibrd("); }

private:
    // The quoted bytes of the log lines of one call, unescaped.
    QList<QByteArray> Transfers(const char* call) const
    {
        QList<QByteArray> transfers;
        for (const QString& entry : CallLog()) {
            if (!entry.startsWith(QLatin1String(call)))
                continue;
            const QByteArray quoted = entry.toLatin1();
            const qsizetype open = quoted.indexOf('"');
            const qsizetype close = quoted.lastIndexOf('"');
            QByteArray bytes;
            for (qsizetype i = open + 1; open >= 0 && i < close; ++i) {
                char c = quoted[i];
                if (c == '\\') {
                    c = quoted[++i];
                    if (c == 'n')
                        c = '\n';
                    else if (c == 'r')
                        c = '\r';
                    else if (c == 'x') {
                        c = static_cast<char>(quoted.mid(i + 1, 2).toInt(nullptr, 16));
                        i += 2;
                    }
                }
                bytes += c;
            }
            transfers.append(bytes);
        }
        return transfers;
    }

    template <typename Fn> void Resolve(Fn*& fn, const char* name)
    {
        fn = reinterpret_cast<Fn*>(dlsym(m_handle, name));
    }

    void* m_handle;
    decltype(tavsim_gpib_reset)* m_reset = nullptr;
    decltype(tavsim_gpib_configure)* m_configure = nullptr;
    decltype(tavsim_gpib_set_silent)* m_setSilent = nullptr;
    decltype(tavsim_gpib_set_next_reply)* m_setNextReply = nullptr;
    decltype(tavsim_gpib_set_board_error)* m_setBoardError = nullptr;
    decltype(tavsim_gpib_set_meter_reading)* m_setMeterReading = nullptr;
    decltype(tavsim_gpib_call_log)* m_callLog = nullptr;
    decltype(tavsim_gpib_clear_call_log)* m_clearCallLog = nullptr;
};
