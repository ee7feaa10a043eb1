#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// How the program reaches the instrument, as kept in "TAVCON.cfg".
struct LinkSettings {
    static constexpr int kRecordSize = 40;
    static constexpr int kMaxNameLength = 20;

    QString PortText = QStringLiteral("2"); // serial port number as decimal text
    int32_t IoType = 0;                     // 0 serial, 1 GPIB by device name, 2 GPIB by address
    int32_t GpibAddress = 0;
    QString GpibDeviceName = QStringLiteral("Device 1");
    int32_t Reserved = 0; // unused; written back as read

    // The last record read: the bytes after the name and the filler go back out unchanged.
    std::array<uint8_t, kRecordSize> Record{};

    bool SerialLink() const { return IoType == 0; }
};

// "TAVCON.cfg" in the folder the program was started in (the current folder).
QString LinkConfigPath();

// Outcome of reading the file.
struct LinkConfigRead {
    bool found = false; // the file existed and was read
    QString warning;    // for the operator, once; empty when all was well
};

// Fills the settings from the last whole 40-byte record of the file. A missing file leaves them
// as they are. A file whose length is not a multiple of 40 still gives its last whole record (or
// leaves the settings as they are when it has none) and says so in the warning.
LinkConfigRead ReadLinkConfig(const QString& path, LinkSettings& settings);

// Writes the settings as one record. The name is cut to 20 characters.
bool WriteLinkConfig(const QString& path, LinkSettings& settings, QString* error = nullptr);

// The record as it would be written.
QByteArray EncodeLinkRecord(LinkSettings& settings);
