#include "common/number_reading.h"

#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>

// Qt takes the operator's locale for the C library at start-up. Replies and table cells carry a
// decimal point whatever that locale is, so a German desktop must not read "230.5" as 230.
TEST(NumberReadingLocale, DecimalPointHoldsUnderACommaLocale)
{
    QTemporaryDir dir;
    const QString name = QStringLiteral("de_DE.UTF-8");
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                     QStringLiteral("UTF-8"), dir.filePath(name)});
    ASSERT_TRUE(localedef.waitForFinished(60000));
    ASSERT_EQ(localedef.exitCode(), 0) << localedef.readAllStandardError().toStdString();
    setenv("LOCPATH", dir.path().toLocal8Bit().constData(), 1);
    ASSERT_NE(setlocale(LC_NUMERIC, name.toLocal8Bit().constData()), nullptr);
    ASSERT_EQ(std::strtod("0,5", nullptr), 0.5) << "the comma locale is in force";

    EXPECT_EQ(ReadNumber("230.5"), 230.5);
    EXPECT_EQ(ReadNumber("123.4mA"), 123.4);
    EXPECT_EQ(ReadNumber("-1.5e3"), -1500.0);

    setlocale(LC_NUMERIC, "C");
    unsetenv("LOCPATH");
}
