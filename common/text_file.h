#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The data files are 8-bit text: each byte is one character (Latin-1), so files made by other
// installations come back unchanged. Lines end in CR LF.

// Reads all lines of the file. A line ends at LF; one CR before it is dropped. A last line
// without a line end counts; an empty file has no lines. nullopt when the file cannot be read.
std::optional<QStringList> ReadTextLines(const QString& path, QString* error = nullptr);

// Writes the lines, each followed by CR LF, through a temporary file renamed over the target,
// so a failed save never leaves a half-written file or loses the previous one.
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error = nullptr);
// The same for lines made one at a time, line(0) ... line(count - 1): a long report is not
// held as lines beside its bytes.
bool WriteTextLines(const QString& path, qsizetype count,
                    const std::function<QString(qsizetype)>& line, QString* error = nullptr);

// The same atomic save for a block of bytes (binary records).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The same atomic save for a writer that opens the file itself (a PDF printer): write() is
// given a temporary name beside path, with path's suffix, and what it wrote replaces path only
// when it returns true. A device or pipe is written in place.
bool WriteThroughTemporary(const QString& path,
                           const std::function<bool(const QString& temporary)>& write,
                           QString* error = nullptr);

// "path: reason" as a message names a file that could not be read or written.
QString FileErrorText(const QString& path, const QString& error);

// path itself when no file has that name, otherwise the first of "name-2.ext", "name-3.ext", ...
// that is free, so that a new file never replaces an earlier one.
QString UnusedFileName(const QString& path);
