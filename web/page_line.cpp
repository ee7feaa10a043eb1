// The line page: a card per station, today's first-pass yield per table version and the
// Pareto of this shift's failed steps.
#include "web/html_page.h"

#include <QJsonArray>
#include <algorithm>

namespace HtmlPage {

namespace {

QString StationCard(const QJsonObject& s)
{
    const QString state = s.value("state").toString();
    const QString name = s.value("station").toString();
    QString html = QStringLiteral("<article class=\"station %1\" data-station=\"%2\">")
                       .arg(state == QLatin1String("running")
                                ? QStringLiteral("running")
                                : (state == QLatin1String("idle") ? QStringLiteral("idle")
                                                                  : QStringLiteral("stale")),
                            Esc(name));
    html += QStringLiteral("<h2>") + Link(QStringLiteral("/station"), {{"name", name}}, name) +
            QStringLiteral("</h2>");
    if (state == QLatin1String("running")) {
        // A line a run: a rack's each with its slot.
        for (const QJsonValue& value : s.value("running").toArray()) {
            const QJsonObject now = value.toObject();
            const QString slot = now.value("slot").toString();
            html += QStringLiteral("<p class=\"state\">") +
                    (slot.isEmpty() ? QString() : Esc(slot) + QStringLiteral(": ")) +
                    QStringLiteral("running <b>") + Esc(now.value("table")) +
                    QStringLiteral("</b> on ") + Esc(now.value("unit")) + QStringLiteral(" ") +
                    Link(QStringLiteral("/unit"), {{"serial", now.value("serial").toString()}},
                         now.value("serial").toString());
            if (!now.value("step").toString().isEmpty())
                html += QStringLiteral(", row ") + Esc(now.value("step"));
            html += QStringLiteral(", since ") + Time(now.value("since")) + QStringLiteral("</p>");
        }
    } else if (state == QLatin1String("last seen")) {
        html += QStringLiteral("<p class=\"state\">last seen ") + Time(s.value("last_seen")) +
                QStringLiteral("</p>");
    } else {
        html += QStringLiteral("<p class=\"state\">idle</p>");
    }
    const QJsonObject last = s.value("last").toObject();
    if (!last.isEmpty())
        html += QStringLiteral("<p class=\"last\">last unit ") +
                Link(QStringLiteral("/unit"), {{"serial", last.value("serial").toString()}},
                     last.value("serial").toString()) +
                QStringLiteral(" ") + Verdict(last.value("verdict")) + QStringLiteral(" <small>") +
                Time(last.value("ended")) + QStringLiteral("</small></p>");
    html += QStringLiteral("<p class=\"today\">runs today <b>") +
            QString::number(s.value("runs_today").toInt()) + QStringLiteral("</b></p></article>");
    return html;
}

} // namespace

QString LineMain(const QJsonObject& o)
{
    QString html = QStringLiteral("<section><h2 class=\"part\">Stations</h2><div class=\"cards\">");
    const QJsonArray stations = o.value("stations").toArray();
    for (const QJsonValue& s : stations)
        html += StationCard(s.toObject());
    if (stations.isEmpty())
        html += QStringLiteral("<p>No runs recorded yet.</p>");
    html += QStringLiteral("</div></section>");

    // The figure that matters first in each row: what a phone shows without scrolling.
    html += QStringLiteral("<section><h2 class=\"part\">First-pass yield today</h2>");
    const QJsonArray yield = o.value("yield_today").toArray();
    if (yield.isEmpty())
        html += QStringLiteral("<p>No run has ended today.</p>");
    else
        html += QStringLiteral("<div class=\"scroll\"><table class=\"yield\"><thead><tr><th>"
                               "table</th><th>version</th><th>yield</th><th>units</th><th>first "
                               "pass</th><th>runs</th></tr></thead><tbody>");
    for (const QJsonValue& v : yield) {
        const QJsonObject y = v.toObject();
        const QString version =
            y.value("version").isNull() ? QStringLiteral("unknown") : y.value("version").toString();
        html += QStringLiteral("<tr><td>") + Esc(y.value("table")) + QStringLiteral("</td><td>") +
                Link(QStringLiteral("/version"),
                     {{"table", y.value("table").toString()}, {"version", version.left(12)}},
                     version.left(12)) +
                QStringLiteral("</td><td class=\"fpy\">") +
                Figure(y.value("first_pass_yield"), 'f', 1) + QStringLiteral(" %</td><td>") +
                QString::number(y.value("units").toInt()) + QStringLiteral("</td><td>") +
                QString::number(y.value("first_pass_units").toInt()) + QStringLiteral("</td><td>") +
                QString::number(y.value("runs").toInt()) + QStringLiteral("</td></tr>");
    }
    if (!yield.isEmpty())
        html += QStringLiteral("</tbody></table></div>");
    html += QStringLiteral("</section>");

    html += QStringLiteral("<section><h2 class=\"part\">Steps failed most this shift</h2><p "
                           "class=\"note\">This shift: the last ") +
            QString::number(o.value("shift_hours").toInt()) + QStringLiteral(" hours, since ") +
            Time(o.value("shift_start")) + QStringLiteral(".</p>");
    const QJsonArray failed = o.value("failed_steps").toArray();
    if (failed.isEmpty()) {
        html += QStringLiteral("<p>No step has failed this shift.</p></section>");
        return html;
    }
    // The bars are drawn by their attributes: the page allows no inline style.
    const int most = std::max(1, failed.first().toObject().value("failures").toInt());
    html += QStringLiteral("<div class=\"scroll\"><table class=\"pareto\"><thead><tr><th>step"
                           "</th><th>failures</th><th></th><th>table</th><th>command</th><th>"
                           "comment</th></tr></thead><tbody>");
    for (const QJsonValue& v : failed) {
        const QJsonObject f = v.toObject();
        const int n = f.value("failures").toInt();
        html += QStringLiteral("<tr><td>") + Esc(f.value("step")) + QStringLiteral("</td><td>") +
                QString::number(n) +
                QStringLiteral("</td><td><svg class=\"bar\" width=\"100\" height=\"14\"><rect "
                               "width=\"") +
                QString::number(100 * n / most) +
                QStringLiteral("\" height=\"14\"></rect></svg></td><td>") + Esc(f.value("table")) +
                QStringLiteral("</td><td>") + Esc(f.value("command")) +
                QStringLiteral("</td><td>") + Esc(f.value("comment")) +
                QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</tbody></table></div></section>");
    return html;
}

} // namespace HtmlPage
