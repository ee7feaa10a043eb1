#include "common/program_directory.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The program's own folder is used while files can be made there; an installed program's folder
// (here /proc, where not even root can create a file) gives way to the folder it was started in.
TEST(ProgramDirectory, OwnFolderWhenWritableElseTheStartFolder)
{
    QTemporaryDir own;
    QTemporaryDir start;
    ASSERT_TRUE(own.isValid() && start.isValid());

    EXPECT_EQ(WritableProgramDirectory(own.path(), start.path()), own.path() + "/");
    EXPECT_TRUE(QDir(own.path())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty())
        << "the probe file is left behind";

    EXPECT_FALSE(DirectoryIsWritable(QStringLiteral("/proc")));
    EXPECT_EQ(WritableProgramDirectory(QStringLiteral("/proc/"), start.path()), start.path() + "/");
    EXPECT_EQ(WritableProgramDirectory(own.path() + "/gone", start.path() + "/"),
              start.path() + "/");
    // An installed program never writes next to itself, not even as root.
    EXPECT_EQ(WritableProgramDirectory(QStringLiteral("/usr/bin"), start.path()),
              start.path() + "/");
}
