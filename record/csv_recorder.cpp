#include "record/csv_recorder.h"

#include "record/monotonic_clock.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const char* const kQuantityColumns[MeasurementRow::kQuantities] = {
    "U%1 [V]", "I%1 [A]", "P%1 [W]", "S%1 [VA]", "IP%1 [A]", "PF%1", "CF%1"};

QByteArray Number(double value)
{
    return std::isnan(value) ? QByteArray() : QByteArray::number(value, 'g', 10);
}

QByteArray IsoTime(const QDateTime& time)
{
    // The offset keeps rows unambiguous across a change of daylight saving time.
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1() +
           (offset < 0 ? '-' : '+') + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           ':' + QByteArray::number(minutes % 60).rightJustified(2, '0');
}

} // namespace

CsvRecorder::~CsvRecorder() { Stop(); }

QByteArray CsvRecorder::HeaderLine()
{
    QByteArray line = "Time,Seconds [s]";
    for (int phase = 1; phase <= MeasurementRow::kPhases; ++phase)
        for (const char* column : kQuantityColumns)
            line += ',' + QString::fromLatin1(column).arg(phase).toLatin1();
    return line + ",Output,Status\r\n";
}

QByteArray CsvRecorder::RowLine(const MeasurementRow& row, int64_t startMicros)
{
    QByteArray line =
        IsoTime(row.time) + ',' +
        QByteArray::number(static_cast<double>(row.micros - startMicros) / 1e6, 'f', 3);
    for (const auto& phase : row.values)
        for (const double value : phase)
            line += ',' + Number(value);
    line += ',';
    if (row.output)
        line += QByteArray::number(*row.output);
    line += ',';
    if (row.statusWord)
        line += QByteArray::number(*row.statusWord);
    return line + "\r\n";
}

bool CsvRecorder::Start(const QString& path, Existing existing)
{
    Stop();
    m_path = path;
    m_rows = 0;
    m_size = 0;
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | (existing == Existing::Replace ? O_TRUNC : O_EXCL);
    m_fd = ::open(QFile::encodeName(path).constData(), flags, 0644);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    m_error.clear();
    if (!WriteWhole(HeaderLine()))
        return false;
    // The new file's name, too, has to survive a power loss.
    fsync(m_fd);
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        fsync(dirFd);
        ::close(dirFd);
    }
    m_startMicros = m_lastSync = MonotonicMicros();
    return true;
}

bool CsvRecorder::Append(const MeasurementRow& row)
{
    if (m_fd < 0)
        return false;
    if (!WriteWhole(RowLine(row, m_startMicros)))
        return false;
    ++m_rows;
    if (const int64_t now = MonotonicMicros(); now - m_lastSync >= kSyncMicros) {
        fdatasync(m_fd);
        m_lastSync = now;
    }
    return true;
}

bool CsvRecorder::WriteWhole(const QByteArray& bytes)
{
    const char* data = bytes.constData();
    size_t left = static_cast<size_t>(bytes.size());
    while (left > 0) {
        const ssize_t n = ::write(m_fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail();
            return false;
        }
        data += n;
        left -= static_cast<size_t>(n);
    }
    m_size += bytes.size();
    return true;
}

void CsvRecorder::Fail()
{
    m_error = QString::fromLocal8Bit(strerror(errno ? errno : ENOSPC));
    if (ftruncate(m_fd, m_size) == 0)
        fsync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

void CsvRecorder::Stop()
{
    if (m_fd < 0)
        return;
    fsync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}
