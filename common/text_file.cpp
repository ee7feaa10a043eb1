#include "common/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

std::optional<QStringList> ReadTextLines(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    QStringList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype next = lf < 0 ? bytes.size() : lf + 1;
        qsizetype end = lf < 0 ? bytes.size() : lf;
        if (lf >= 0 && end > start && bytes[end - 1] == '\r')
            --end;
        lines.append(QString::fromLatin1(bytes.constData() + start, end - start));
        start = next;
    }
    return lines;
}

namespace {

// A name that stands for a device, a pipe or a socket is written to, never replaced: a save
// through a temporary file would put a plain file in the device's place (as root even in /dev).
bool WriteInPlace(const QString& path, const QByteArray& bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return WriteInPlace(path, bytes, error);
    QSaveFile file(path);
    // The bytes are flushed before the commit: a write that fails in the commit's own flush (a
    // full disk, a file size limit) is not seen by it, and the short file would replace the old.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool WriteTextLines(const QString& path, const QStringList& lines, QString* error)
{
    return WriteTextLines(
        path, lines.size(), [&lines](qsizetype i) { return lines[i]; }, error);
}

bool WriteTextLines(const QString& path, qsizetype count,
                    const std::function<QString(qsizetype)>& line, QString* error)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < count; ++i) {
        bytes += line(i).toLatin1();
        bytes += "\r\n";
    }
    return WriteFileAtomically(path, bytes, error);
}

bool WriteThroughTemporary(const QString& path,
                           const std::function<bool(const QString& temporary)>& write,
                           QString* error)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        return write(path);
    const QString suffix =
        target.suffix().isEmpty() ? QString() : QLatin1Char('.') + target.suffix();
    QTemporaryFile temporary(
        target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX") + suffix));
    if (!temporary.open()) {
        if (error)
            *error = temporary.errorString();
        return false;
    }
    temporary.close();
    // Readable as a file saved directly would be, or as the file it replaces.
    temporary.setPermissions(target.exists() ? target.permissions()
                                             : QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ReadGroup | QFile::ReadOther);
    if (!write(temporary.fileName()))
        return false; // the temporary file goes with its object
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    temporary.setAutoRemove(false);
    return true;
}

QString FileErrorText(const QString& path, const QString& error)
{
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error);
}

QString UnusedFileName(const QString& path)
{
    if (!QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString stem =
        suffix.isEmpty() ? info.filePath() : info.filePath().chopped(suffix.size() + 1);
    for (int n = 2;; ++n) {
        const QString candidate = suffix.isEmpty()
                                      ? QStringLiteral("%1-%2").arg(stem).arg(n)
                                      : QStringLiteral("%1-%2.%3").arg(stem).arg(n).arg(suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}
