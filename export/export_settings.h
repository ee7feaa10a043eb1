#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

struct ExportState;

// One 264-byte record of "TAVCON.efg": row and column (signed 32-bit, little-endian), then the
// workbook path as a length byte and up to 255 bytes. The program keeps the record last read or
// written for the whole run: a file without any record gives that one back.
struct ExportRecord {
    static constexpr int kSize = 264;
    static constexpr int kMaxPathLength = 255;

    int32_t Row = 0;
    int32_t Column = 0;
    QByteArray Path; // as the file system names it, at most kMaxPathLength bytes

    QByteArray Encode() const;
    static ExportRecord Decode(const char* record);
};

// "TAVCON.efg" in the given folder.
QString ExportSettingsPath(const QString& directory);

// Outcome of reading the file.
struct ExportSettingsRead {
    bool ok = true;  // false: the file exists but cannot be read; nothing changed
    QString message; // for the operator; empty when all was well
};

// Reads every whole record into the record buffer, then sets ExportRowText, ExportColumnText
// and WorkbookPath from it. A missing file changes nothing. A file whose length is not a whole
// number of records still gives its last whole record (or the buffer as it is) and says so.
ExportSettingsRead ReadExportSettings(ExportState& E, const QString& path);

// The options window's fields name a cell of the sheet: row 1 to kSheetRows, column 1 to
// kSheetColumns. Another whole number raises std::runtime_error with a message of the kind the
// conversion gives ("'0' ist keine gültige Zeile (1 bis 1048576)"), as a text that is not a
// whole number does; an export to such a cell could only fail.
inline constexpr int32_t kSheetRows = 1048576;
inline constexpr int32_t kSheetColumns = 1024;
void CheckCellPosition(const QString& rowText, const QString& columnText);

// Converts the row and column texts (std::runtime_error with the conversion message when one
// is not a whole number: nothing is written then), fills the record buffer and saves it as the
// file's one record. false with the reason when the file cannot be written; the old file stays.
bool WriteExportSettings(ExportState& E, const QString& path, QString* error = nullptr);
