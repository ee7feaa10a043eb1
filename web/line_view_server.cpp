#include "web/line_view_server.h"

#include "results/stats_plot.h"
#include "web/html_page.h"
#include "web/viewer_token.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QTcpSocket>
#include <QUrlQuery>
#include <algorithm>

namespace {

using Answer = LineViewServer::Answer;

Answer Text(int status, const QString& line)
{
    return {status, "text/plain; charset=utf-8", line.toUtf8() + '\n', {}};
}

Answer Json(int status, const QJsonObject& o)
{
    return {status, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

// "127.0.0.1:8080", "localhost", "[::1]:8080".
bool LoopbackHost(const QByteArray& host)
{
    QString name = QString::fromLatin1(host).trimmed().toLower();
    if (name.startsWith(QLatin1Char('[')))
        name = name.mid(1, name.indexOf(QLatin1Char(']')) - 1);
    else if (name.count(QLatin1Char(':')) == 1)
        name = name.section(QLatin1Char(':'), 0, 0);
    return name == QLatin1String("localhost") || QHostAddress(name).isLoopback();
}

} // namespace

LineViewServer::LineViewServer(const Options& options, QObject* parent)
    : QAbstractHttpServer(parent), m_options(options),
      m_source(std::make_unique<ViewSource>(options.Source)), m_cache(options.RefreshMs)
{}

LineViewServer::~LineViewServer() = default;

QString LineViewServer::DownText() const
{
    const QDateTime since = m_source->DownSince();
    if (!since.isValid())
        return {};
    const QString when = since.date() == QDate::currentDate()
                             ? since.toString(QStringLiteral("HH:mm"))
                             : since.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    return m_source->IsServer() ? QStringLiteral("results server not reachable since %1").arg(when)
                                : QStringLiteral("results journal not readable since %1").arg(when);
}

std::shared_ptr<const ViewData> LineViewServer::Data(const ViewRequest& request, QString* error)
{
    if (const ViewCache::Entry* entry = m_cache.Fresh(request.DataKey)) {
        *error = entry->Error;
        return entry->Data;
    }
    const ViewRequest r = request;
    const auto read =
        m_source->Read<ViewData>([r](QSqlDatabase& db, QString* e) { return ReadView(db, r, e); });
    *error = read.Error;
    m_cache.Put(request.DataKey, read.Value, read.Error);
    return read.Value ? read.Value : m_cache.LastGood(request.DataKey);
}

Answer LineViewServer::Page(const ViewRequest& request, bool part)
{
    if (request.Page == ViewRequest::Kind::Static) {
        QFile file(request.Resource);
        if (!file.open(QIODevice::ReadOnly))
            return Text(404, QStringLiteral("not found"));
        const bool css = request.Resource.endsWith(QLatin1String(".css"));
        return {200,
                css ? "text/css; charset=utf-8" : "text/javascript; charset=utf-8",
                file.readAll(),
                {{"Cache-Control", "max-age=3600"}}};
    }
    QString error;
    const std::shared_ptr<const ViewData> data = Data(request, &error);
    const QString down = error.isEmpty() ? QString() : DownText();
    if (request.Api) {
        if (!data || !error.isEmpty()) {
            QJsonObject o{{"error", error}, {"down", down}};
            return Json(503, o);
        }
        return Json(200, data->Json);
    }
    if (request.Page == ViewRequest::Kind::Histogram ||
        request.Page == ViewRequest::Kind::ControlChart) {
        if (!data)
            return Text(503, error);
        if (!data->Steps.contains(request.Step))
            return Text(404, QStringLiteral("step %1: not a checked step of this table version")
                                 .arg(request.Step));
        const auto& step = data->Steps[request.Step];
        const QByteArray svg = request.Page == ViewRequest::Kind::Histogram
                                   ? StepHistogramSvg(step, data->Values.value(request.Step))
                                   : ControlChartSvg(step, data->LastValues.value(request.Step));
        return {200, "image/svg+xml", svg, {}};
    }
    const QString main = HtmlPage::Main(request, data ? &data->Json : nullptr, down, error);
    if (part)
        return {200, "text/html; charset=utf-8", main.toUtf8(), {}};
    return {200,
            "text/html; charset=utf-8",
            HtmlPage::Document(HtmlPage::Title(request), main, m_options.RefreshMs),
            {}};
}

Answer LineViewServer::Respond(const QString& method, const QUrl& url, const QByteArray& cookies,
                               bool part, bool local)
{
    int status = 0;
    QString reason;
    const QUrlQuery query(url);
    const ViewRequest request = ViewRequest::Parse(method, url.path(), query, &status, &reason);
    if (status != 0)
        return Text(status, reason);
    const QString& token = m_options.Token;
    if (!token.isEmpty() && !local && request.Page != ViewRequest::Kind::Static) {
        if (!request.Token.isEmpty()) {
            if (!ViewerToken::Matches(request.Token, token))
                return Text(401, QStringLiteral("This is not the viewer token of this line's "
                                                "view: ask for the right one."));
            // Kept as a cookie; the address without the token is shown from now on.
            QUrlQuery rest = query;
            rest.removeAllQueryItems(QStringLiteral("token"));
            QUrl clean = url;
            clean.setQuery(rest);
            Answer a = Text(303, QStringLiteral("in"));
            a.Headers = {{"Set-Cookie", ViewerToken::Cookie(token)},
                         {"Location", clean.toString(QUrl::FullyEncoded).toUtf8()}};
            return a;
        }
        if (!ViewerToken::Matches(ViewerToken::FromCookies(cookies), token))
            return Text(401, QStringLiteral("This view needs the line's viewer token: open "
                                            "/?token=TOKEN once (the token is in the file given "
                                            "to tavtest serve --token-file)."));
    }
    return Page(request, part);
}

bool LineViewServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    static const QMetaEnum methods = QMetaEnum::fromType<QHttpServerRequest::Method>();
    const QString method = QString::fromLatin1(methods.valueToKey(int(request.method())));
    const QHostAddress from = request.remoteAddress();
    Answer a = m_options.LoopbackOnly && !LoopbackHost(request.value("host"))
                   ? Text(403, QStringLiteral("This view answers to 127.0.0.1 or localhost only."))
                   : Respond(method.toUpper(), request.url(), request.value("cookie"),
                             request.value("x-tav-part") == "main", from.isLoopback());
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(a.Status));
    QList<std::pair<QByteArray, QByteArray>> headers{
        {"Content-Type", a.Type},
        {"Content-Length", QByteArray::number(a.Body.size())},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"Content-Security-Policy",
         "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; "
         "frame-ancestors 'none'; form-action 'self'"}};
    headers << a.Headers;
    if (std::none_of(a.Headers.begin(), a.Headers.end(),
                     [](const auto& h) { return h.first == "Cache-Control"; }))
        headers.append(std::pair<QByteArray, QByteArray>("Cache-Control", "no-store"));
    for (const auto& [name, value] : headers)
        responder.writeHeader(name, value);
    responder.writeBody(a.Body);
    return true;
}

void LineViewServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    makeResponder(request, socket)
        .write("not found\n", "text/plain", QHttpServerResponder::StatusCode::NotFound);
}
