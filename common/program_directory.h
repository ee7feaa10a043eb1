#pragma once

#include <QSettings>
#include <QString>

// True when a file can be created in the folder (tried, not guessed from permission bits, which
// say yes to root on a read-only medium's mount point and no to nobody's ACLs).
bool DirectoryIsWritable(const QString& directory);

// Where the program writes its own files (the export settings, automatically saved reports):
// its own folder when that is writable, as for a copy unpacked in the operator's home; else,
// and always for a program installed under /usr, the folder it was started in. Both with a
// trailing '/'.
QString WritableProgramDirectory(const QString& programDirectory, const QString& startDirectory);

// The program's own settings (station name, results server, the rack window's reports folder),
// in tavcontrol/tavcontrol.conf under the user's configuration folder, shared with tavtest.
QSettings ProgramSettings();
