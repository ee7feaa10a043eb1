#pragma once

#include "link/line_trace.h"

#include <QString>
#include <cstdint>

// The traffic trace: every line sent to or received from the instrument and the auxiliary
// ports, one per file line, "<CLOCK_MONOTONIC us>\t<TX|RX>\t<port>\t<bytes>", with control
// characters, backslashes and bytes above 126 escaped ("\r", "\n", "\t", "\\", "\xHH") so that
// one traced line never spans two file lines. Each line is handed to the system as it happens
// (one write, no buffer of our own), so a killed program loses nothing it traced.
//
// The file rotates at a size limit: FILE becomes FILE.1, FILE.1 becomes FILE.2 and so on, the
// oldest beyond the kept count is removed. A week-long trace thus holds at most
// (kept + 1) x limit bytes.
class TraceWriter : public LineTrace {
public:
    static constexpr int64_t kDefaultLimit = 64ll * 1024 * 1024;
    static constexpr int kDefaultKept = 4;

    TraceWriter() = default;
    ~TraceWriter() override;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Appends to path (created if missing); a trace already open is closed first. False with
    // the reason in Error() when the file cannot be opened.
    bool Open(const QString& path, int64_t limitBytes = kDefaultLimit, int kept = kDefaultKept);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const QString& Path() const { return m_path; }
    const QString& Error() const { return m_error; }

    void TraceLine(Direction direction, const QString& port, const QByteArray& bytes) override;
    bool Tracing() const override { return IsOpen(); }

    // One trace line without its line feed, as the file holds it.
    static QByteArray FormatLine(int64_t micros, Direction direction, const QString& port,
                                 const QByteArray& bytes);

private:
    bool OpenFile(bool append);
    void Rotate();

    int m_fd = -1;
    QString m_path;
    QString m_error;
    int64_t m_limit = kDefaultLimit;
    int m_kept = kDefaultKept;
    int64_t m_size = 0;
};
