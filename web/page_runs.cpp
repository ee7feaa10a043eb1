// A unit's history with each run's rows as its report shows them, and a station's runs a page
// at a time.
#include "web/html_page.h"

#include <QJsonArray>

namespace HtmlPage {

namespace {

QString VersionLink(const QJsonObject& run)
{
    const QString version = run.value("version").isNull()
                                ? QStringLiteral("unknown")
                                : run.value("version").toString().left(12);
    return Link(QStringLiteral("/version"),
                {{"table", run.value("table").toString()}, {"version", version}},
                run.value("table").toString() + QLatin1Char(' ') + version);
}

QString Duration(const QJsonValue& ms)
{
    const qint64 s = static_cast<qint64>(ms.toDouble()) / 1000;
    return s >= 60 ? QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60)
                   : QStringLiteral("%1 s").arg(s);
}

} // namespace

QString UnitMain(const QJsonObject& o)
{
    const QJsonArray runs = o.value("runs").toArray();
    if (runs.isEmpty())
        return QStringLiteral("<p>No runs of this serial number.</p>");
    QString html;
    for (const QJsonValue& v : runs) {
        const QJsonObject run = v.toObject();
        html += QStringLiteral("<section class=\"run\"><h2 class=\"part\">") +
                Time(run.value("started")) + QStringLiteral(" ") + Verdict(run.value("verdict")) +
                QStringLiteral("</h2><p class=\"meta\">station ") +
                Link(QStringLiteral("/station"), {{"name", run.value("station").toString()}},
                     run.value("station").toString()) +
                QStringLiteral(" · ") + VersionLink(run);
        for (const char* field : {"unit", "slot", "reporter", "operator"})
            if (!run.value(field).toString().isEmpty())
                html += QStringLiteral(" · ") + QLatin1String(field) + QLatin1Char(' ') +
                        Esc(run.value(field));
        html += QStringLiteral("</p>");
        if (!run.value("reason").toString().isEmpty())
            html += QStringLiteral("<p class=\"reason\">") + Esc(run.value("reason")) +
                    QStringLiteral("</p>");
        html += QStringLiteral("<div class=\"scroll\"><table class=\"report\"><thead><tr><th>Step"
                               "</th><th>Comment</th><th>Lower</th><th>Value</th><th>Upper</th>"
                               "<th></th></tr></thead><tbody>");
        for (const QJsonValue& r : run.value("rows").toArray()) {
            const QJsonArray cells = r.toArray();
            const bool failed = !cells.at(5).toString().isEmpty();
            html += failed ? QStringLiteral("<tr class=\"failed\">") : QStringLiteral("<tr>");
            for (const QJsonValue& c : cells)
                html += QStringLiteral("<td>") + Esc(c) + QStringLiteral("</td>");
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</tbody></table></div></section>");
    }
    return html;
}

QString StationMain(const QJsonObject& o)
{
    const QString station = o.value("station").toString();
    const int page = o.value("page").toInt();
    // The serial number and verdict first: what a phone shows without scrolling.
    QString html = QStringLiteral("<div class=\"scroll\"><table class=\"runs\"><thead><tr><th>"
                                  "started</th><th>serial</th><th>verdict</th><th>table</th><th>"
                                  "unit</th><th>duration</th><th>reason</th></tr></thead>"
                                  "<tbody>");
    for (const QJsonValue& v : o.value("runs").toArray()) {
        const QJsonObject run = v.toObject();
        html += QStringLiteral("<tr><td class=\"time\">") + Time(run.value("started")) +
                QStringLiteral("</td><td>") +
                Link(QStringLiteral("/unit"), {{"serial", run.value("serial").toString()}},
                     run.value("serial").toString()) +
                QStringLiteral("</td><td>") + Verdict(run.value("verdict")) +
                QStringLiteral("</td><td>") + VersionLink(run) + QStringLiteral("</td><td>") +
                Esc(run.value("unit")) + QStringLiteral("</td><td class=\"time\">") +
                Duration(run.value("duration_ms")) + QStringLiteral("</td><td>") +
                Esc(run.value("reason")) + QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</tbody></table></div><nav class=\"pages\">");
    if (page > 1)
        html += Link(QStringLiteral("/station"),
                     {{"name", station}, {"page", QString::number(page - 1)}},
                     QStringLiteral("« newer"));
    html += QStringLiteral(" <span>page ") + QString::number(page) + QStringLiteral("</span> ");
    if (o.value("more").toBool())
        html += Link(QStringLiteral("/station"),
                     {{"name", station}, {"page", QString::number(page + 1)}},
                     QStringLiteral("older »"));
    return html + QStringLiteral("</nav>");
}

} // namespace HtmlPage
