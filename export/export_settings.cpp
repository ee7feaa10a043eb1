#include "export/export_settings.h"

#include "common/little_endian.h"
#include "common/strict_integer.h"
#include "common/text_file.h"
#include "export/export_state.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <stdexcept>

namespace {

uint8_t* Bytes(char* p) { return reinterpret_cast<uint8_t*>(p); }
const uint8_t* Bytes(const char* p) { return reinterpret_cast<const uint8_t*>(p); }

} // namespace

QByteArray ExportRecord::Encode() const
{
    QByteArray bytes(kSize, '\0');
    PutInt32(Bytes(bytes.data()), Row);
    PutInt32(Bytes(bytes.data() + 4), Column);
    const QByteArray path = Path.left(kMaxPathLength);
    bytes[8] = static_cast<char>(path.size());
    std::copy(path.begin(), path.end(), bytes.begin() + 9);
    return bytes;
}

ExportRecord ExportRecord::Decode(const char* record)
{
    ExportRecord r;
    r.Row = GetInt32(Bytes(record));
    r.Column = GetInt32(Bytes(record + 4));
    r.Path = QByteArray(record + 9, static_cast<uint8_t>(record[8]));
    return r;
}

QString ExportSettingsPath(const QString& directory)
{
    return QDir(directory).filePath(QStringLiteral("TAVCON.efg"));
}

ExportSettingsRead ReadExportSettings(ExportState& E, const QString& path)
{
    ExportSettingsRead result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.ok = false;
        result.message = FileErrorText(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    const qsizetype whole = bytes.size() / ExportRecord::kSize;
    if (bytes.size() % ExportRecord::kSize != 0)
        result.message =
            whole > 0 ? QStringLiteral("%1 ends in an incomplete record (%2 bytes); the last "
                                       "complete record is used.")
                            .arg(path)
                            .arg(bytes.size())
                      : QStringLiteral("%1 holds no complete record (%2 bytes); the export "
                                       "settings stay as they were.")
                            .arg(path)
                            .arg(bytes.size());
    // Only the last record counts; an empty file leaves the buffer as this run last had it.
    if (whole > 0)
        E.ExportBuffer =
            ExportRecord::Decode(bytes.constData() + (whole - 1) * ExportRecord::kSize);
    else if (!bytes.isEmpty())
        return result;
    E.ExportRowText = QString::number(E.ExportBuffer.Row);
    E.ExportColumnText = QString::number(E.ExportBuffer.Column);
    E.WorkbookPath = QFile::decodeName(E.ExportBuffer.Path);
    return result;
}

namespace {

void CheckPosition(const QString& text, const char* what, int32_t last)
{
    const int32_t value = ConvertInteger(text);
    if (value < 1 || value > last)
        throw std::runtime_error(QStringLiteral("'%1' ist keine gültige %2 (1 bis %3)")
                                     .arg(text, QString::fromLatin1(what))
                                     .arg(last)
                                     .toStdString());
}

} // namespace

void CheckCellPosition(const QString& rowText, const QString& columnText)
{
    CheckPosition(rowText, "Zeile", kSheetRows);
    CheckPosition(columnText, "Spalte", kSheetColumns);
}

bool WriteExportSettings(ExportState& E, const QString& path, QString* error)
{
    ExportRecord record;
    record.Row = ConvertInteger(E.ExportRowText);
    record.Column = ConvertInteger(E.ExportColumnText);
    record.Path = QFile::encodeName(E.WorkbookPath).left(ExportRecord::kMaxPathLength);
    E.ExportBuffer = record;
    return WriteFileAtomically(path, record.Encode(), error);
}
