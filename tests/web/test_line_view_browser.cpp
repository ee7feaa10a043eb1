// The line page in a real browser: headless Chromium loads a view over three stations' runs on
// the line's server, and the page it builds shows each station, its last verdict and today's
// yield, and refreshes itself.
#include "tests/web/line_view_fixture.h"

#include <QFileInfo>
#include <QSize>
#include <QtEndian>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

const QString kChromium = QStringLiteral("/usr/bin/chromium");

class LineViewBrowser : public LineViewFixture {
protected:
    // Chromium headless on its own profile, kept off every network but the loopback.
    QString Chromium(const QStringList& arguments)
    {
        QStringList all{QStringLiteral("--headless"),
                        QStringLiteral("--disable-gpu"),
                        QStringLiteral("--user-data-dir=") + File(QStringLiteral("chromium")),
                        QStringLiteral("--no-first-run"),
                        QStringLiteral("--disable-background-networking"),
                        QStringLiteral("--disable-component-update"),
                        QStringLiteral("--disable-sync"),
                        QStringLiteral("--no-pings"),
                        QStringLiteral("--proxy-server=127.0.0.1:9"),
                        QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1")};
        if (geteuid() == 0)
            all << QStringLiteral("--no-sandbox"); // Chromium's sandbox refuses root
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), File(QStringLiteral("chromium")));
        p.setProcessEnvironment(env);
        p.start(kChromium, all + arguments);
        EXPECT_TRUE(p.waitForFinished(60000)) << "chromium did not finish";
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    // A page's picture at a window size; its width and height as the PNG header says.
    QSize Screenshot(const QString& target, const QString& file, const QString& size)
    {
        Chromium({QStringLiteral("--screenshot=") + file, QStringLiteral("--window-size=") + size,
                  QStringLiteral("--hide-scrollbars"), QStringLiteral("--virtual-time-budget=3000"),
                  QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(target)});
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray png = f.read(24);
        if (!png.startsWith("\x89PNG\r\n\x1a\n"))
            return {};
        return QSize(qFromBigEndian<qint32>(png.constData() + 16),
                     qFromBigEndian<qint32>(png.constData() + 20));
    }
};

// The text of the station card of a page.
QString Card(const QString& dom, const QString& station)
{
    qsizetype at = dom.indexOf(QStringLiteral("data-station=\"%1\"").arg(station));
    if (at < 0)
        return {};
    at = dom.lastIndexOf(QStringLiteral("<article"), at);
    return dom.mid(at, dom.indexOf(QStringLiteral("</article>"), at) - at);
}

TEST_F(LineViewBrowser, TheLinePageShowsStationsVerdictsAndYield)
{
    if (!QFileInfo(kChromium).isExecutable())
        GTEST_SKIP() << "Chromium is not installed (" << kChromium.toStdString()
                     << ", Debian package chromium)";
    PgCluster cluster;
    QString error;
    ASSERT_TRUE(cluster.Start(&error)) << error.toStdString();
    WriteServer(cluster.Uri());
    ASSERT_TRUE(StartView({QStringLiteral("--db"), cluster.Uri()}));

    // Three refresh periods of the page's own time: its script has fetched and put in place.
    const QString dom =
        Chromium({QStringLiteral("--dump-dom"), QStringLiteral("--virtual-time-budget=4000"),
                  QStringLiteral("http://127.0.0.1:%1/").arg(port)});
    const QString one = Card(dom, QStringLiteral("line-1"));
    EXPECT_TRUE(one.contains(QStringLiteral("station idle"))) << one.toStdString();
    EXPECT_TRUE(one.contains(QStringLiteral("SN-line-1-4"))) << one.toStdString();
    EXPECT_TRUE(one.contains(QStringLiteral("<span class=\"verdict passed\">passed</span>")));
    EXPECT_TRUE(one.contains(QStringLiteral("runs today <b>5</b>"))) << one.toStdString();
    const QString three = Card(dom, QStringLiteral("line-3"));
    EXPECT_TRUE(three.contains(QStringLiteral("station running"))) << three.toStdString();
    EXPECT_TRUE(three.contains(QStringLiteral("SN-line-3-9</a>, row 2"))) << three.toStdString();
    // 10 of 13 units passed first time; the unit named <script> is text, not a script.
    EXPECT_TRUE(dom.contains(QStringLiteral("<td class=\"fpy\">76.9 %</td>"))) << dom.toStdString();
    EXPECT_TRUE(Card(dom, QStringLiteral("line-2"))
                    .contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
    EXPECT_EQ(dom.count(QStringLiteral("<script")), 1) << "the page's own script alone";
    static const QRegularExpression refreshed(QStringLiteral("data-refreshed=\"[1-9]"));
    EXPECT_TRUE(refreshed.match(dom).hasMatch()) << "the page did not refresh itself";

    EXPECT_EQ(Screenshot(QStringLiteral("/"), File(QStringLiteral("line.png")),
                         QStringLiteral("1920,1080")),
              QSize(1920, 1080));
    // Every page on a phone and a wall screen, for people to look at.
    const QString keep = qEnvironmentVariable("TAV_WEB_SCREENSHOTS");
    if (keep.isEmpty())
        return;
    const QList<std::pair<const char*, QString>> pages{
        {"line", QStringLiteral("/")},
        {"version", QStringLiteral("/version?table=psu.tst&version=%1").arg(kVersion.left(12))},
        {"unit", QStringLiteral("/unit?serial=SN-line-1-2")},
        {"station", QStringLiteral("/station?name=line-2")}};
    for (const auto& [name, target] : pages)
        for (const char* size : {"390,844", "1920,1080"})
            EXPECT_FALSE(Screenshot(target,
                                    QStringLiteral("%1/%2-%3.png")
                                        .arg(keep, QLatin1String(name),
                                             QString::fromLatin1(size).section(',', 0, 0)),
                                    QString::fromLatin1(size))
                             .isEmpty());
}

} // namespace
