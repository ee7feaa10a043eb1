#include "web/view_request.h"

#include <QDate>
#include <QRegularExpression>
#include <QSet>

namespace {

// A name as the runs carry it: printable, of a sensible length.
bool Printable(const QString& text, int most)
{
    if (text.isEmpty() || text.size() > most)
        return false;
    for (QChar c : text)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

struct PageRule {
    const char* Path;
    ViewRequest::Kind Kind;
    const char* Allowed; // its parameters besides the token, separated by spaces
};

constexpr PageRule kPages[] = {
    {"/", ViewRequest::Kind::Line, ""},
    {"/version", ViewRequest::Kind::Version, "table version since last limits model"},
    {"/unit", ViewRequest::Kind::Unit, "serial"},
    {"/station", ViewRequest::Kind::Station, "name page"},
};

constexpr std::pair<const char*, const char*> kResources[] = {
    {"/static/view.css", ":/web/view.css"},
    {"/static/view.js", ":/web/view.js"},
};

} // namespace

ViewRequest ViewRequest::Parse(const QString& method, const QString& path, const QUrlQuery& query,
                               int* status, QString* reason)
{
    ViewRequest r;
    *status = 0;
    auto fail = [&](int code, const QString& why) {
        *status = code;
        *reason = why;
        return r;
    };
    if (method != QLatin1String("GET") && method != QLatin1String("HEAD"))
        return fail(405, QStringLiteral("%1: this view only shows (GET)").arg(method));
    for (const auto& [from, to] : kResources)
        if (path == QLatin1String(from)) {
            r.Page = Kind::Static;
            r.Resource = QLatin1String(to);
            return query.isEmpty() ? r
                                   : fail(400, QStringLiteral("%1 takes no parameters").arg(path));
        }

    QString page = path;
    QString allowed;
    bool found = false;
    if (path == QLatin1String("/plot/histogram.svg") ||
        path == QLatin1String("/plot/control.svg")) {
        r.Page = path.contains(QLatin1String("histogram")) ? Kind::Histogram : Kind::ControlChart;
        allowed = QStringLiteral("table version since last step limits model");
        found = true;
    } else {
        if (path.startsWith(QLatin1String("/api/"))) {
            r.Api = true;
            page = path.mid(4);
            if (page == QLatin1String("/line"))
                page = QStringLiteral("/");
            else if (page == QLatin1String("/"))
                page.clear();
        }
        for (const PageRule& p : kPages)
            if (page == QLatin1String(p.Path)) {
                r.Page = p.Kind;
                allowed = QLatin1String(p.Allowed);
                found = true;
            }
    }
    if (!found)
        return fail(404, QStringLiteral("%1: no such page").arg(path));

    const QStringList names = allowed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QSet<QString> seen;
    for (const auto& [name, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (seen.contains(name))
            return fail(400, QStringLiteral("%1: given twice").arg(name));
        seen.insert(name);
        if (name == QLatin1String("token")) {
            r.Token = value;
            continue;
        }
        if (!names.contains(name))
            return fail(400, QStringLiteral("%1: not a parameter of %2").arg(name, path));
        auto number = [&](int low, int high, int* into) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < low || n > high)
                return false;
            *into = n;
            return true;
        };
        if (name == QLatin1String("table") && Printable(value, 255) &&
            !value.contains(QLatin1Char('/')))
            r.Table = value;
        else if (name == QLatin1String("version")) {
            static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{1,64}$"));
            r.Version = value.toLower();
            if (r.Version != QLatin1String("unknown") && !hex.match(r.Version).hasMatch())
                return fail(400, QStringLiteral("version %1: not the start of a table version "
                                                "(hexadecimal digits, or \"unknown\")")
                                     .arg(value));
        } else if (name == QLatin1String("limits")) {
            static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{1,64}$"));
            r.Limits = value.toLower();
            if (r.Limits != QLatin1String("none") && !hex.match(r.Limits).hasMatch())
                return fail(400, QStringLiteral("limits %1: not the start of a limits file's "
                                                "version (hexadecimal digits, or \"none\")")
                                     .arg(value));
        } else if (name == QLatin1String("model") && (value.isEmpty() || Printable(value, 100))) {
            r.LimitsModel = value;
        } else if (name == QLatin1String("since")) {
            const QDate day = QDate::fromString(value, Qt::ISODate);
            if (!day.isValid() || value.size() != 10)
                return fail(400, QStringLiteral("since %1: not a date (YYYY-MM-DD)").arg(value));
            r.SinceText = value;
            r.SinceMs = day.startOfDay().toMSecsSinceEpoch();
        } else if (name == QLatin1String("last")) {
            if (!number(2, 1000, &r.Last))
                return fail(
                    400,
                    QStringLiteral("last %1: not a number of values from 2 to 1000").arg(value));
        } else if (name == QLatin1String("page")) {
            if (!number(1, 100000, &r.PageNo))
                return fail(400, QStringLiteral("page %1: not a page number").arg(value));
        } else if ((name == QLatin1String("serial") || name == QLatin1String("name")) &&
                   Printable(value, 255))
            (name == QLatin1String("serial") ? r.Serial : r.Station) = value;
        else if (name == QLatin1String("step") && Printable(value, 100))
            r.Step = value;
        else
            return fail(400, QStringLiteral("%1: not a valid value").arg(name));
    }
    for (const QString& name : names)
        if (name != QLatin1String("since") && name != QLatin1String("last") &&
            name != QLatin1String("page") && name != QLatin1String("limits") &&
            name != QLatin1String("model") && !seen.contains(name))
            return fail(400, QStringLiteral("%1 needs the parameter %2").arg(path, name));
    if (r.SinceText.isEmpty() && names.contains(QStringLiteral("since"))) {
        const QDate from = QDate::currentDate().addDays(-kDefaultDays);
        r.SinceText = from.toString(Qt::ISODate);
        r.SinceMs = from.startOfDay().toMSecsSinceEpoch();
    }
    // The plots of a table version share one read of its values; the pages and their JSON
    // share theirs, which reads none and so answers at once.
    const Kind data =
        r.Page == Kind::Histogram || r.Page == Kind::ControlChart ? Kind::Histogram : r.Page;
    r.DataKey = QStringLiteral("%1|%2|%3|%4|%5|%6|%7|%8|%9")
                    .arg(static_cast<int>(data))
                    .arg(r.Table, r.Version, r.Serial, r.Station, r.SinceText)
                    .arg(r.Last)
                    .arg(r.PageNo)
                    .arg(r.Limits + QLatin1Char('|') + r.LimitsModel);
    return r;
}
