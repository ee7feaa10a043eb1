#include "common/program_directory.h"

#include <QDir>
#include <QTemporaryFile>

namespace {

QString WithSeparator(const QString& directory)
{
    return directory.endsWith(QLatin1Char('/')) ? directory : directory + QLatin1Char('/');
}

} // namespace

bool DirectoryIsWritable(const QString& directory)
{
    if (directory.isEmpty() || !QDir(directory).exists())
        return false;
    QTemporaryFile probe(WithSeparator(directory) + QStringLiteral(".tavcontrol-probe-XXXXXX"));
    return probe.open(); // removed again when it goes out of scope
}

QString WritableProgramDirectory(const QString& programDirectory, const QString& startDirectory)
{
    // /usr holds installed programs and is no place for their files, even where root could
    // write there.
    const bool installed = WithSeparator(programDirectory).startsWith(QLatin1String("/usr/"));
    return WithSeparator(!installed && DirectoryIsWritable(programDirectory) ? programDirectory
                                                                             : startDirectory);
}

QSettings ProgramSettings()
{
    return QSettings(QStringLiteral("tavcontrol"), QStringLiteral("tavcontrol"));
}
