#include "link/link_settings.h"

#include "common/little_endian.h"
#include "common/number_reading.h"
#include "common/text_file.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstring>

LinkConfigRead ReadLinkConfig(const QString& path, LinkSettings& settings)
{
    LinkConfigRead result;
    QFile file(path);
    if (!file.exists())
        return result;
    if (!file.open(QIODevice::ReadOnly)) {
        result.warning = QStringLiteral("Cannot read %1: %2. The default link settings are used.")
                             .arg(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    result.found = true;
    const qsizetype whole = bytes.size() / LinkSettings::kRecordSize;
    if (bytes.size() % LinkSettings::kRecordSize != 0) {
        result.warning =
            whole > 0
                ? QStringLiteral("%1 ends in an incomplete record (%2 bytes); the last complete "
                                 "record is used.")
                      .arg(path)
                      .arg(bytes.size())
                : QStringLiteral("%1 holds no complete record (%2 bytes); the default link "
                                 "settings are used.")
                      .arg(path)
                      .arg(bytes.size());
    }
    if (whole == 0)
        return result;

    // Only the last record counts.
    const auto* rec = reinterpret_cast<const uint8_t*>(bytes.constData()) +
                      (whole - 1) * LinkSettings::kRecordSize;
    std::memcpy(settings.Record.data(), rec, LinkSettings::kRecordSize);
    settings.PortText = QString::number(GetInt32(rec + 0));
    settings.Reserved = GetInt32(rec + 4);
    settings.IoType = GetInt32(rec + 8);
    settings.GpibAddress = GetInt32(rec + 12);
    const int n = std::min<int>(rec[16], LinkSettings::kMaxNameLength);
    settings.GpibDeviceName = QString::fromLatin1(reinterpret_cast<const char*>(rec + 17), n);
    return result;
}

QByteArray EncodeLinkRecord(LinkSettings& settings)
{
    auto& rec = settings.Record;
    PutInt32(rec.data() + 0, ReadInteger(settings.PortText));
    PutInt32(rec.data() + 4, settings.Reserved);
    PutInt32(rec.data() + 8, settings.IoType);
    PutInt32(rec.data() + 12, settings.GpibAddress);
    const QByteArray name = settings.GpibDeviceName.toLatin1().left(LinkSettings::kMaxNameLength);
    rec[16] = static_cast<uint8_t>(name.size());
    std::memcpy(rec.data() + 17, name.constData(), static_cast<size_t>(name.size()));
    return QByteArray(reinterpret_cast<const char*>(rec.data()), LinkSettings::kRecordSize);
}

bool WriteLinkConfig(const QString& path, LinkSettings& settings, QString* error)
{
    return WriteFileAtomically(path, EncodeLinkRecord(settings), error);
}

QString LinkConfigPath() { return QDir::current().absoluteFilePath(QStringLiteral("TAVCON.cfg")); }
