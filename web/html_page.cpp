#include "web/html_page.h"

#include <QDateTime>
#include <QUrlQuery>

namespace HtmlPage {

QString Esc(const QString& text) { return text.toHtmlEscaped(); }

QString Esc(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(value.toDouble());
    return value.toString().toHtmlEscaped();
}

QString Time(const QJsonValue& iso)
{
    const QDateTime t = QDateTime::fromString(iso.toString(), Qt::ISODate).toLocalTime();
    if (!t.isValid())
        return {};
    return t.date() == QDate::currentDate() ? t.toString(QStringLiteral("HH:mm:ss"))
                                            : t.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString Figure(const QJsonValue& v, char format, int precision)
{
    return v.isDouble() ? QString::number(v.toDouble(), format, precision) : QString();
}

QString Link(const QString& path, const QList<std::pair<QString, QString>>& query,
             const QString& text)
{
    QUrlQuery q;
    for (const auto& [name, value] : query)
        q.addQueryItem(name, value);
    QString url = path;
    if (!query.isEmpty())
        url += QLatin1Char('?') + q.toString(QUrl::FullyEncoded);
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(Esc(url), Esc(text));
}

QString Verdict(const QJsonValue& verdict)
{
    const QString v = verdict.toString();
    static const QStringList known{QStringLiteral("passed"), QStringLiteral("failed"),
                                   QStringLiteral("error"), QStringLiteral("aborted")};
    const QString kind = known.contains(v) ? v : QStringLiteral("incomplete");
    return QStringLiteral("<span class=\"verdict %1\">%2</span>").arg(kind, Esc(v));
}

QString Title(const ViewRequest& r)
{
    switch (r.Page) {
    case ViewRequest::Kind::Version:
        return QStringLiteral("%1 %2").arg(r.Table, r.Version.left(12));
    case ViewRequest::Kind::Unit:
        return QStringLiteral("Unit %1").arg(r.Serial);
    case ViewRequest::Kind::Station:
        return QStringLiteral("Station %1").arg(r.Station);
    default:
        return QStringLiteral("Line");
    }
}

QString Main(const ViewRequest& r, const QJsonObject* data, const QString& down,
             const QString& error)
{
    QString html;
    if (!error.isEmpty()) {
        // The source's own reason goes below the one line everyone reads.
        html += QStringLiteral("<p class=\"down\" id=\"down\">%1</p>")
                    .arg(Esc(down.isEmpty() ? error : down));
        if (!down.isEmpty())
            html += QStringLiteral("<p class=\"why\">%1</p>").arg(Esc(error));
    }
    if (!data)
        return html;
    switch (r.Page) {
    case ViewRequest::Kind::Version:
        return html + VersionMain(*data);
    case ViewRequest::Kind::Unit:
        return html + UnitMain(*data);
    case ViewRequest::Kind::Station:
        return html + StationMain(*data);
    default:
        return html + LineMain(*data);
    }
}

QByteArray Document(const QString& title, const QString& main, int refreshMs)
{
    // Put together piece by piece: a text given to arg() could hold a "%1" of its own.
    const QString page =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                       "<title>") +
        Esc(title) +
        QStringLiteral(" – TAV line</title><link rel=\"stylesheet\" href=\"/static/view.css\">"
                       "<script src=\"/static/view.js\" defer></script></head><body "
                       "data-refresh=\"") +
        QString::number(refreshMs) +
        QStringLiteral("\"><header><nav><a href=\"/\">TAV line</a></nav><h1>") + Esc(title) +
        QStringLiteral("</h1><span id=\"updated\">") +
        QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) +
        QStringLiteral("</span></header><p id=\"offline\" hidden>This view is not reachable; "
                       "the page shows what it last got.</p><main id=\"view\">") +
        main + QStringLiteral("</main></body></html>\n");
    return page.toUtf8();
}

} // namespace HtmlPage
