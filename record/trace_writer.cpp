#include "record/trace_writer.h"

#include "record/monotonic_clock.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TraceWriter::~TraceWriter() { Close(); }

bool TraceWriter::Open(const QString& path, int64_t limitBytes, int kept)
{
    Close();
    m_path = path;
    m_limit = limitBytes > 0 ? limitBytes : kDefaultLimit;
    m_kept = kept > 0 ? kept : 1;
    return OpenFile(true);
}

bool TraceWriter::OpenFile(bool append)
{
    const QByteArray name = QFile::encodeName(m_path);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    m_fd = ::open(name.constData(), flags, 0644);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    struct stat st {};
    m_size = fstat(m_fd, &st) == 0 ? st.st_size : 0;
    m_error.clear();
    return true;
}

void TraceWriter::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void TraceWriter::Rotate()
{
    Close();
    auto generation = [this](int n) {
        return QFile::encodeName(m_path + QStringLiteral(".%1").arg(n));
    };
    ::unlink(generation(m_kept).constData());
    for (int n = m_kept - 1; n >= 1; --n)
        ::rename(generation(n).constData(), generation(n + 1).constData());
    ::rename(QFile::encodeName(m_path).constData(), generation(1).constData());
    OpenFile(false);
}

QByteArray TraceWriter::FormatLine(int64_t micros, Direction direction, const QString& port,
                                   const QByteArray& bytes)
{
    QByteArray line = QByteArray::number(static_cast<qlonglong>(micros));
    line += direction == Direction::Sent ? "\tTX\t" : "\tRX\t";
    line += port.toLatin1();
    line += '\t';
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (b) {
        case '\r':
            line += "\\r";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\\':
            line += "\\\\";
            break;
        default:
            if (b < 0x20 || b > 0x7e) {
                line += "\\x";
                line += hex[b >> 4];
                line += hex[b & 15];
            } else {
                line += c;
            }
        }
    }
    return line;
}

void TraceWriter::TraceLine(Direction direction, const QString& port, const QByteArray& bytes)
{
    if (m_fd < 0)
        return;
    const QByteArray line = FormatLine(MonotonicMicros(), direction, port, bytes) + '\n';
    if (m_size > 0 && m_size + line.size() > m_limit) {
        Rotate();
        if (m_fd < 0)
            return;
    }
    // One write per line: the line is whole in the file or not there at all after a kill.
    const ssize_t n = ::write(m_fd, line.constData(), static_cast<size_t>(line.size()));
    if (n > 0)
        m_size += n;
}
