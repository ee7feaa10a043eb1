// A table version's page: the period's yields, each checked step's figures, its histogram and
// its control chart.
#include "web/html_page.h"

#include <QJsonArray>

namespace HtmlPage {

namespace {

QString Cell(const QString& text)
{
    return QStringLiteral("<td>") + text + QStringLiteral("</td>");
}

QString Percent(const QJsonValue& v)
{
    return v.isDouble() ? Figure(v, 'f', 1) + QStringLiteral(" %") : QStringLiteral("–");
}

// The set of limits shown, kept when the period changes.
QString LimitsFields(const QJsonObject& o)
{
    if (o.value("limits").toString().isEmpty())
        return {};
    return QStringLiteral("<input type=\"hidden\" name=\"limits\" value=\"") +
           Esc(o.value("limits")) +
           QStringLiteral("\"><input type=\"hidden\" name=\"model\" value=\"") +
           Esc(o.value("model")) + QStringLiteral("\">");
}

} // namespace

QString VersionMain(const QJsonObject& o)
{
    const QString table = o.value("table").toString();
    const QString version = o.value("version").toString();
    QString html =
        QStringLiteral("<form class=\"period\" method=\"get\" action=\"/version\">"
                       "<input type=\"hidden\" name=\"table\" value=\"") +
        Esc(table) + QStringLiteral("\"><input type=\"hidden\" name=\"version\" value=\"") +
        Esc(version) + QStringLiteral("\">") + LimitsFields(o) +
        QStringLiteral("<label>since <input type=\"date\" name=\"since\" value=\"") +
        Esc(o.value("since")) +
        QStringLiteral("\"></label> <label>control chart of the last <input type=\"number\" "
                       "name=\"last\" min=\"2\" max=\"1000\" value=\"") +
        QString::number(o.value("last").toInt()) +
        QStringLiteral("\"> values</label> <button>show</button></form>");

    // The sets of limits the runs were judged by, each a page of its own.
    const QJsonArray sets = o.value("limit_sets").toArray();
    if (sets.size() > 1) {
        html += QStringLiteral("<p class=\"limits\">limits:");
        for (const QJsonValue& v : sets) {
            const QJsonObject set = v.toObject();
            const QString limits = set.value("limits").toString();
            const QString model = set.value("model").toString();
            const QString text =
                limits == QLatin1String("none")
                    ? QStringLiteral("the table's own")
                    : QStringLiteral("%1 %2 for %3")
                          .arg(set.value("name").toString(), limits.left(12), model);
            html += html.endsWith(QLatin1Char(':')) ? QStringLiteral(" ") : QStringLiteral(" · ");
            if (limits == o.value("limits").toString() && model == o.value("model").toString())
                html += QStringLiteral("<strong>") + Esc(text) + QStringLiteral("</strong>");
            else
                html += Link(QStringLiteral("/version"),
                             {{QStringLiteral("table"), table},
                              {QStringLiteral("version"), version},
                              {QStringLiteral("since"), o.value("since").toString()},
                              {QStringLiteral("limits"), limits},
                              {QStringLiteral("model"), model}},
                             text);
        }
        html += QStringLiteral("</p>");
    }
    html += QStringLiteral("<dl class=\"figures\"><div><dt>runs</dt><dd id=\"runs\">") +
            QString::number(o.value("runs").toInt()) +
            QStringLiteral("</dd></div><div><dt>not ended</dt><dd>") +
            QString::number(o.value("not_ended").toInt()) +
            QStringLiteral("</dd></div><div><dt>units</dt><dd>") +
            QString::number(o.value("units").toInt()) +
            QStringLiteral("</dd></div><div><dt>first-pass yield</dt><dd id=\"fpy\">") +
            Percent(o.value("first_pass_yield")) +
            QStringLiteral("</dd></div><div><dt>final yield</dt><dd id=\"final\">") +
            Percent(o.value("final_yield")) + QStringLiteral("</dd></div></dl>");

    const QJsonArray steps = o.value("steps").toArray();
    if (steps.isEmpty())
        return html + QStringLiteral("<p>No ended run of this table version since then.</p>");
    html += QStringLiteral(
        "<div class=\"scroll\"><table class=\"steps\"><thead><tr><th>step</th><th>n</th>"
        "<th>failed</th><th>mean</th><th>σ</th><th>Cpk</th><th>Cp</th><th>min</th><th>max</th>"
        "<th>lower</th><th>upper</th><th>command</th><th>comment</th></tr></thead><tbody>");
    for (const QJsonValue& v : steps) {
        const QJsonObject s = v.toObject();
        // The figures first, the texts last: what a phone shows without scrolling.
        html += QStringLiteral("<tr>") + Cell(Esc(s.value("step"))) +
                Cell(QString::number(s.value("count").toInt())) +
                Cell(QString::number(s.value("failures").toInt())) + Cell(Figure(s.value("mean"))) +
                Cell(Figure(s.value("stddev"), 'g', 4)) + Cell(Figure(s.value("cpk"), 'f', 2)) +
                Cell(Figure(s.value("cp"), 'f', 2)) + Cell(Figure(s.value("min"))) +
                Cell(Figure(s.value("max"))) + Cell(Figure(s.value("lower"))) +
                Cell(Figure(s.value("upper"))) + QStringLiteral("<td class=\"text\">") +
                Esc(s.value("command")) + QStringLiteral("</td><td class=\"text\">") +
                Esc(s.value("comment")) + QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</tbody></table></div>");
    for (const QJsonValue& v : steps) {
        const QJsonObject s = v.toObject();
        const QString name = QStringLiteral("step %1 %2")
                                 .arg(s.value("step").toString(), s.value("command").toString());
        html += QStringLiteral("<figure class=\"plots\"><figcaption>") + Esc(name) +
                QStringLiteral(" ") + Esc(s.value("comment")) +
                QStringLiteral("</figcaption><img alt=\"histogram of ") + Esc(name) +
                QStringLiteral("\" src=\"") + Esc(s.value("histogram")) +
                QStringLiteral("\"><img alt=\"control chart of ") + Esc(name) +
                QStringLiteral("\" src=\"") + Esc(s.value("control_chart")) +
                QStringLiteral("\"></figure>");
    }
    return html;
}

} // namespace HtmlPage
