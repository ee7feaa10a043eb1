#pragma once

// Helpers of the fuzz targets: a scratch file per process for the readers that take a path, and
// a check that aborts (so libFuzzer keeps the input) when an invariant breaks.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

// Memory-backed where there is such a folder: the readers are fuzzed, not the disk.
inline QString ScratchDir()
{
    return access("/dev/shm", W_OK) == 0 ? QStringLiteral("/dev/shm") : QStringLiteral("/tmp");
}

inline QString ScratchPath(const char* name)
{
    return QStringLiteral("%1/tavfuzz-%2-%3")
        .arg(ScratchDir())
        .arg(getpid())
        .arg(QString::fromLatin1(name));
}

inline void WriteScratch(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

inline QByteArray ReadScratch(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
