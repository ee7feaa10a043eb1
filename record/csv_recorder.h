#pragma once

#include "record/measurement_pass.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

// Records measurement rows into a CSV file so that it survives the program's or the machine's
// end: every row goes to the system in one write, the file is synced at the start, every
// few seconds and at the end, so a file cut short is valid CSV up to its last complete row.
// Columns: local time (ISO 8601 with milliseconds and offset), seconds since the start, then
// per phase U, I, P, S, IP, PF, CF, then output state and status word; empty where a value was
// not polled or not readable. Lines end in CR LF.
class CsvRecorder {
public:
    // Rows are synced once this long has passed since the last sync; with one row per pass
    // (at most 1.5 s apart) no row waits more than about five seconds for the disk.
    static constexpr int64_t kSyncMicros = 3500000;

    enum class Existing { Keep, Replace };

    CsvRecorder() = default;
    ~CsvRecorder();
    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Starts a recording; with Existing::Keep an existing file is left alone and Start fails.
    // False with the reason in Error(). A recording under way is stopped first.
    bool Start(const QString& path, Existing existing = Existing::Keep);
    // Appends one row. False (and the recording stopped) when the disk refused it; a row the
    // disk took only in part is cut off again, so the file still ends with a complete row.
    bool Append(const MeasurementRow& row);
    // Syncs and closes; nothing when no recording is under way.
    void Stop();

    bool Recording() const { return m_fd >= 0; }
    int64_t Rows() const { return m_rows; }
    const QString& Path() const { return m_path; }
    const QString& Error() const { return m_error; }

    static QByteArray HeaderLine();
    static QByteArray RowLine(const MeasurementRow& row, int64_t startMicros);

private:
    bool WriteWhole(const QByteArray& bytes);
    void Fail();

    int m_fd = -1;
    QString m_path;
    QString m_error;
    int64_t m_rows = 0;
    int64_t m_size = 0; // bytes of complete lines
    int64_t m_startMicros = 0;
    int64_t m_lastSync = 0;
};
