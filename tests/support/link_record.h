#pragma once

#include <QByteArray>
#include <cstdint>

// A TAVCON.cfg record made by hand, field by field, little-endian: port, reserved, link type,
// GPIB address, then the name's length and characters; the rest is `fill`.
inline QByteArray LinkRecord(int32_t port, int32_t reserved, int32_t type, int32_t address,
                             const QByteArray& name, char fill = '\0')
{
    QByteArray r(40, fill);
    auto put = [&r](int at, int32_t v) {
        for (int i = 0; i < 4; ++i)
            r[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    };
    put(0, port);
    put(4, reserved);
    put(8, type);
    put(12, address);
    r[16] = static_cast<char>(name.size());
    r.replace(17, name.size(), name);
    return r;
}
