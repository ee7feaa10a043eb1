#include "common/text_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toLatin1();
        bytes += "\r\n";
    }
    return WriteFileAtomically(path, bytes, error);
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
    const QString stem = suffix.isEmpty() ? info.filePath() : info.filePath().chopped(suffix.size() + 1);
    for (int n = 2;; ++n) {
        const QString candidate = suffix.isEmpty() ? QStringLiteral("%1-%2").arg(stem).arg(n)
                                                   : QStringLiteral("%1-%2.%3").arg(stem).arg(n).arg(suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}
