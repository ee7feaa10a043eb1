#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The data files are 8-bit text: each byte is one character (Latin-1), so files made by other
// installations come back unchanged. Lines end in CR LF.

// Reads all lines of the file. A line ends at LF; one CR before it is dropped. A last line
// without a line end counts; an empty file has no lines. nullopt when the file cannot be read.
std::optional<QStringList> ReadTextLines(const QString& path, QString* error = nullptr);

// Writes the lines, each followed by CR LF, through a temporary file renamed over the target,
// so a failed save never leaves a half-written file or loses the previous one.
bool WriteTextLines(const QString& path, const QStringList& lines, QString* error = nullptr);

// The same atomic save for a block of bytes (binary records).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// "path: reason" as a message names a file that could not be read or written.
QString FileErrorText(const QString& path, const QString& error);

// path itself when no file has that name, otherwise the first of "name-2.ext", "name-3.ext", ...
// that is free, so that a new file never replaces an earlier one.
QString UnusedFileName(const QString& path);
